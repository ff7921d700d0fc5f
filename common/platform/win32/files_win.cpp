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

}  // namespace kavrel
