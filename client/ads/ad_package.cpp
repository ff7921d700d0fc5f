#include "client/ads/ad_package.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "common/platform/file_stamp.h"
#include "common/platform/files.h"

namespace kavrel {
namespace {

// ---- the archive read from memory -----------------------------------------
// Packages are small, so the archive is read whole through the files seam
// (which knows the platform's wide file names) and minizip reads it from
// memory rather than opening the path itself with a narrow fopen.

struct MemoryStream {
  const std::string* bytes;
  std::uint64_t position;
};

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void* /*name*/, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  return new MemoryStream{static_cast<const std::string*>(opaque), 0};
}

uLong ZCALLBACK ReadMemory(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* s = static_cast<MemoryStream*>(stream);
  const std::uint64_t total = s->bytes->size();
  if (s->position >= total) return 0;
  const std::uint64_t n = std::min<std::uint64_t>(size, total - s->position);
  std::memcpy(buffer, s->bytes->data() + s->position, static_cast<std::size_t>(n));
  s->position += n;
  return static_cast<uLong>(n);
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf stream) {
  return static_cast<MemoryStream*>(stream)->position;
}

long ZCALLBACK SeekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<MemoryStream*>(stream);
  const std::int64_t total = static_cast<std::int64_t>(s->bytes->size());
  // minizip passes backward steps as negative offsets in the unsigned type,
  // as fseeko would take them.
  const std::int64_t step = static_cast<std::int64_t>(offset);
  std::int64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = static_cast<std::int64_t>(s->position); break;
    case ZLIB_FILEFUNC_SEEK_END: base = total; break;
    default: return -1;
  }
  if (step < -base || step > total - base) return -1;
  s->position = static_cast<std::uint64_t>(base + step);
  return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf stream) {
  delete static_cast<MemoryStream*>(stream);
  return 0;
}

int ZCALLBACK ErrorMemory(voidpf, voidpf) { return 0; }

struct UnzCloser {
  void operator()(void* archive) const { unzClose(static_cast<unzFile>(archive)); }
};
using UniqueUnzFile = std::unique_ptr<void, UnzCloser>;

// ---- entry names -------------------------------------------------------------

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Characters that no Windows file name may hold; replaced in both builds so
// that a package unpacks to the same names everywhere.
bool IsForbiddenInName(char16_t c) {
  return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' ||
         c == u'?' || c == u'*';
}

// Device names that Windows opens as devices whatever the folder or extension.
bool IsDeviceName(const Text& component) {
  Text stem = component.substr(0, component.find(u'.'));
  for (char16_t& c : stem)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  static const char16_t* const kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$",
                                             u"CONOUT$"};
  for (const char16_t* d : kDevices)
    if (stem == d) return true;
  return stem.size() == 4 && (stem.compare(0, 3, u"COM") == 0 || stem.compare(0, 3, u"LPT") == 0) &&
         stem[3] >= u'0' && stem[3] <= u'9';
}

Text Truncated(Text name) {
  if (name.size() > kMaxPackageEntryName) {
    std::size_t cut = kMaxPackageEntryName;
    // Never keep half of a surrogate pair.
    if (name[cut - 1] >= 0xD800 && name[cut - 1] <= 0xDBFF) --cut;
    name.resize(cut);
  }
  return name;
}

// ---- times -----------------------------------------------------------------

constexpr std::uint16_t kExtendedTimeStampId = 0x5455;

struct EntryTimes {
  bool known = false;
  std::int64_t modified = 0, accessed = 0, created = 0;
};

std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::int32_t Le32(const unsigned char* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) |
                                   (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) |
                                   (static_cast<std::uint32_t>(p[3]) << 24));
}

// Reads the extended time stamp of an extra field: a flags byte, then the
// 32-bit UTC times its bits name (modification, access, creation) as far as
// the field holds them. The central directory's copy carries only the first.
EntryTimes ExtendedTimes(const std::vector<unsigned char>& extra) {
  EntryTimes times;
  std::size_t at = 0;
  while (at + 4 <= extra.size()) {
    const std::uint16_t id = Le16(&extra[at]);
    const std::size_t size = Le16(&extra[at + 2]);
    const std::size_t data = at + 4;
    if (data + size > extra.size()) break;
    if (id == kExtendedTimeStampId && size >= 1) {
      const unsigned flags = extra[data];
      std::size_t field = data + 1;
      const std::size_t end = data + size;
      std::int64_t* targets[] = {&times.modified, &times.accessed, &times.created};
      bool have[3] = {false, false, false};
      for (int bit = 0; bit < 3; ++bit) {
        if (!(flags & (1u << bit)) || field + 4 > end) continue;
        *targets[bit] = Le32(&extra[field]);
        have[bit] = true;
        field += 4;
      }
      if (have[0]) {
        times.known = true;
        if (!have[1]) times.accessed = times.modified;
        if (!have[2]) times.created = times.modified;
        return times;
      }
    }
    at = data + size;
  }
  return times;
}

// The archive's own date and time are local time of the machine that made it.
EntryTimes DosTimes(const unz_file_info64& info) {
  EntryTimes times;
  std::tm local{};
  local.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
  local.tm_min = static_cast<int>(info.tmu_date.tm_min);
  local.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
  local.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
  local.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
  local.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
  local.tm_isdst = -1;
  const std::time_t t = std::mktime(&local);
  if (t == static_cast<std::time_t>(-1)) return times;
  times.known = true;
  times.modified = times.accessed = times.created = static_cast<std::int64_t>(t);
  return times;
}

// ---- writing ---------------------------------------------------------------

constexpr std::size_t kInflateBlock = 64 * 1024;
constexpr unsigned kMadeOnUnix = 3;

// Creates each folder of `relative` below `base` (the last one included when
// `includeLast`). False when one of them cannot be made.
bool CreateFoldersAlong(const Text& base, const Text& relative, bool includeLast) {
  const char16_t sep = PathSeparator();
  std::size_t at = 0;
  while (true) {
    const std::size_t next = relative.find(sep, at);
    if (next == Text::npos && !includeLast) return true;
    const Text folder = base + relative.substr(0, next);
    if (!CreateFolder(folder)) return false;
    if (next == Text::npos) return true;
    at = next + 1;
  }
}

bool WriteCurrentEntry(unzFile archive, const Text& path, EntryTimes times,
                       const unz_file_info64& info) {
  // A read-only or hidden file from an earlier package would refuse to be
  // replaced on Windows.
  if (FileExists(path)) SetFileStampAttributes(path, 0, 0);
  if (unzOpenCurrentFile(archive) != UNZ_OK) return false;

  // The local header's extra field carries all three times; the central
  // directory's copy, read before, only the modification time.
  const int localSize = unzGetLocalExtrafield(archive, nullptr, 0);
  if (localSize > 0) {
    std::vector<unsigned char> local(static_cast<std::size_t>(localSize));
    if (unzGetLocalExtrafield(archive, local.data(), static_cast<unsigned>(local.size())) ==
        localSize) {
      const EntryTimes fromLocal = ExtendedTimes(local);
      if (fromLocal.known) times = fromLocal;
    }
  }

  FileWriter writer;
  bool ok = writer.Open(path);
  if (ok) {
    std::vector<char> buffer(kInflateBlock);
    for (;;) {
      const int n = unzReadCurrentFile(archive, buffer.data(), static_cast<unsigned>(buffer.size()));
      if (n == 0) break;
      if (n < 0 || !writer.Write(buffer.data(), static_cast<std::size_t>(n))) {
        ok = false;
        break;
      }
    }
    if (!writer.Close()) ok = false;
  }
  // Also checks the data against the entry's CRC once it was read whole.
  if (unzCloseCurrentFile(archive) != UNZ_OK) ok = false;
  if (!ok) {
    // A half-written or corrupt file is worse than none.
    DeleteFileAt(path);
    return false;
  }
  if (times.known) SetFileStampTimes(path, times.modified, times.accessed, times.created);
  const std::uint32_t unixMode =
      (info.version >> 8) == kMadeOnUnix ? static_cast<std::uint32_t>(info.external_fa >> 16) : 0;
  SetFileStampAttributes(path, static_cast<std::uint32_t>(info.external_fa & 0xFF), unixMode);
  return true;
}

}  // namespace

Text SafeEntryPath(TextView name) {
  std::vector<Text> components;
  std::size_t at = 0;
  bool first = true;
  while (at <= name.size()) {
    std::size_t end = at;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    Text component(name.substr(at, end - at));
    at = end + 1;
    if (first) {
      first = false;
      if (component.size() >= 2 && IsAsciiLetter(component[0]) && component[1] == u':')
        component.erase(0, 2);
    }
    const bool onlyDots = std::all_of(component.begin(), component.end(),
                                      [](char16_t c) { return c == u'.' || c == u' '; });
    if (onlyDots) {
      // Windows drops trailing dots and spaces, so ".. " climbs like "..".
      if (std::count(component.begin(), component.end(), u'.') >= 2) components.clear();
      continue;
    }
    for (char16_t& c : component)
      if (IsForbiddenInName(c)) c = u'_';
    while (!component.empty() && (component.back() == u'.' || component.back() == u' '))
      component.pop_back();
    if (IsDeviceName(component)) component.insert(component.begin(), u'_');
    components.push_back(std::move(component));
  }
  Text path;
  for (const Text& c : components) {
    if (!path.empty()) path += PathSeparator();
    path += c;
  }
  return path;
}

ExtractResult ExtractPackage(const Text& zipFile, const Text& folder) {
  ExtractResult result;
  std::string bytes;
  if (!ReadFileBytes(zipFile, bytes)) return result;

  zlib_filefunc64_def io{};
  io.zopen64_file = OpenMemory;
  io.zread_file = ReadMemory;
  io.zwrite_file = WriteMemory;
  io.ztell64_file = TellMemory;
  io.zseek64_file = SeekMemory;
  io.zclose_file = CloseMemory;
  io.zerror_file = ErrorMemory;
  io.opaque = &bytes;
  UniqueUnzFile archive(unzOpen2_64("package", &io));
  if (!archive) return result;
  unzFile uf = static_cast<unzFile>(archive.get());
  result.opened = true;

  Text base = folder;
  if (!base.empty() && !IsSeparator(base.back())) base += PathSeparator();
  CreateFolder(folder);

  for (int status = unzGoToFirstFile(uf); status == UNZ_OK; status = unzGoToNextFile(uf)) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      ++result.skipped;
      continue;
    }
    std::string rawName(info.size_filename, '\0');
    std::vector<unsigned char> extra(info.size_file_extra);
    if (unzGetCurrentFileInfo64(uf, &info, rawName.empty() ? nullptr : &rawName[0],
                                static_cast<uLong>(rawName.size()),
                                extra.empty() ? nullptr : extra.data(),
                                static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK) {
      ++result.skipped;
      continue;
    }
    const Text name = Truncated(Utf8ToText(rawName));
    const Text relative = SafeEntryPath(name);
    const bool isFolder = (!name.empty() && IsSeparator(name.back())) ||
                          (info.external_fa & kFileAttributeDirectory) != 0;
    if (relative.empty()) {
      // "/", "C:" or "..": the base folder itself, or nothing at all.
      if (!isFolder) ++result.skipped;
      continue;
    }
    if (isFolder) {
      if (CreateFoldersAlong(base, relative, true)) ++result.extracted;
      else ++result.skipped;
      continue;
    }
    EntryTimes times = ExtendedTimes(extra);
    if (!times.known) times = DosTimes(info);
    if (CreateFoldersAlong(base, relative, false) &&
        WriteCurrentEntry(uf, base + relative, times, info))
      ++result.extracted;
    else
      ++result.skipped;
  }
  return result;
}

}  // namespace kavrel
