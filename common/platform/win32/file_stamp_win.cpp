#include <windows.h>

#include "common/platform/file_stamp.h"

namespace kavrel {
namespace {

// Seconds since 1970 to the 100-nanosecond ticks since 1601 of FILETIME.
FILETIME ToFileTime(std::int64_t seconds) {
  constexpr std::int64_t kEpochDifference = 11644473600LL;
  // Moments before 1601 cannot be stored; they become its start.
  const std::int64_t since1601 = seconds < -kEpochDifference ? 0 : seconds + kEpochDifference;
  const std::uint64_t ticks = static_cast<std::uint64_t>(since1601) * 10000000ULL;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

}  // namespace

bool SetFileStampAttributes(const Text& path, std::uint32_t attributes, std::uint32_t /*unixMode*/) {
  DWORD bits = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  if (bits == 0) bits = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesW(AsWide(path), bits) != 0;
}

bool SetFileStampTimes(const Text& path, std::int64_t modified, std::int64_t accessed,
                       std::int64_t created) {
  HANDLE file = CreateFileW(AsWide(path), FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const FILETIME c = ToFileTime(created), a = ToFileTime(accessed), m = ToFileTime(modified);
  const bool ok = SetFileTime(file, &c, &a, &m) != 0;
  CloseHandle(file);
  return ok;
}

}  // namespace kavrel
