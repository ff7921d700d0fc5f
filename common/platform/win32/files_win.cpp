#include <windows.h>

#include <algorithm>

#include "common/platform/files.h"

namespace kavrel {
namespace {

// Owns a file HANDLE (invalid value: INVALID_HANDLE_VALUE).
class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (ok()) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

DWORD Attributes(const Text& path) { return GetFileAttributesW(AsWide(path)); }

}  // namespace

bool ReadFileBytes(const Text& path, std::string& bytes) {
  bytes.clear();
  FileHandle f(CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return false;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(f.get(), buffer, sizeof buffer, &got, nullptr)) {
      bytes.clear();
      return false;
    }
    if (got == 0) return true;
    bytes.append(buffer, got);
  }
}

bool WriteFileBytes(const Text& path, const std::string& bytes) {
  FileHandle f(CreateFileW(AsWide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD wrote = 0;
    if (!WriteFile(f.get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  return true;
}

bool FileExists(const Text& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const Text& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileAt(const Text& path) {
  if (DeleteFileW(AsWide(path))) return true;
  const DWORD e = GetLastError();
  return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

bool CreateFolder(const Text& path) {
  if (path.empty()) return false;
  return CreateDirectoryW(AsWide(path), nullptr) || FolderExists(path);
}

bool MoveFileTo(const Text& from, const Text& to) {
  if (from.empty() || to.empty()) return false;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists.
  return MoveFileExW(AsWide(from), AsWide(to), MOVEFILE_COPY_ALLOWED) != 0;
}

bool AvailableDiskSpace(const Text& folder, std::uint64_t& bytes) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(folder.empty() ? nullptr : AsWide(folder), &available, nullptr,
                           nullptr))
    return false;
  bytes = available.QuadPart;
  return true;
}

char16_t PathSeparator() { return u'\\'; }

Text WithNativeSeparators(Text path) {
  for (char16_t& c : path)
    if (c == u'/') c = u'\\';
  return path;
}

namespace {

Text FolderFrom(UINT (WINAPI* query)(LPWSTR, UINT)) {
  wchar_t buffer[MAX_PATH + 1] = {};
  const UINT n = query(buffer, MAX_PATH);
  if (n == 0 || n > MAX_PATH) return Text();
  return FromWide(buffer, n);
}

}  // namespace

Text WindowsFolder() { return FolderFrom(&GetWindowsDirectoryW); }
Text SystemFolder() { return FolderFrom(&GetSystemDirectoryW); }

struct FileWriter::Impl {
  HANDLE h = INVALID_HANDLE_VALUE;
};

FileWriter::FileWriter() : impl_(std::make_unique<Impl>()) {}
FileWriter::~FileWriter() { Close(); }
FileWriter::FileWriter(FileWriter&&) noexcept = default;
FileWriter& FileWriter::operator=(FileWriter&& other) noexcept {
  if (this != &other) {
    Close();
    impl_ = std::move(other.impl_);
  }
  return *this;
}

bool FileWriter::Open(const Text& path) {
  Close();
  if (!impl_) impl_ = std::make_unique<Impl>();
  if (path.empty()) return false;
  impl_->h = CreateFileW(AsWide(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

bool FileWriter::IsOpen() const { return impl_ && impl_->h != INVALID_HANDLE_VALUE; }

bool FileWriter::Write(const char* data, std::size_t size) {
  if (!IsOpen()) return false;
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20));
    DWORD wrote = 0;
    if (!WriteFile(impl_->h, data, chunk, &wrote, nullptr) || wrote == 0) return false;
    data += wrote;
    size -= wrote;
  }
  return true;
}

bool FileWriter::Close() {
  if (!IsOpen()) return true;
  const bool ok = CloseHandle(impl_->h) != 0;
  impl_->h = INVALID_HANDLE_VALUE;
  return ok;
}

}  // namespace kavrel
