#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "common/platform/files.h"

namespace kavrel {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

std::string NativePath(const Text& path) { return TextToUtf8(path); }

}  // namespace

bool ReadFileBytes(const Text& path, std::string& bytes) {
  bytes.clear();
  if (!FileExists(path)) return false;
  UniqueFile f(std::fopen(NativePath(path).c_str(), "rb"));
  if (!f) return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) bytes.append(buffer, n);
  if (std::ferror(f.get())) {
    bytes.clear();
    return false;
  }
  return true;
}

bool WriteFileBytes(const Text& path, const std::string& bytes) {
  UniqueFile f(std::fopen(NativePath(path).c_str(), "wb"));
  if (!f) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
    return false;
  return std::fclose(f.release()) == 0;
}

bool FileExists(const Text& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const Text& path) {
  struct stat st;
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFileAt(const Text& path) {
  return unlink(NativePath(path).c_str()) == 0 || errno == ENOENT;
}

}  // namespace kavrel
