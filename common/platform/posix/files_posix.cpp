#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

bool CreateFolder(const Text& path) {
  if (path.empty()) return false;
  return mkdir(NativePath(path).c_str(), 0777) == 0 || FolderExists(path);
}

namespace {

// Copies a regular file for a move across file systems; the copy is removed
// again when anything fails, so the move either happens whole or not at all.
bool CopyThenDelete(const std::string& from, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) {
    close(in);
    return false;
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) ok = false;
      else done += w;
    }
    if (!ok) break;
  }
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok || unlink(from.c_str()) != 0) {
    unlink(to.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool MoveFileTo(const Text& from, const Text& to) {
  const std::string src = NativePath(from), dst = NativePath(to);
  struct stat st;
  if (src.empty() || dst.empty() || lstat(src.c_str(), &st) != 0) return false;
  // rename() would replace an existing target; the seam promises never to.
  // A hard link fails when the target exists, so link-then-unlink moves
  // without a window in which the target could be overwritten.
  if (S_ISREG(st.st_mode) && link(src.c_str(), dst.c_str()) == 0) {
    unlink(src.c_str());
    return true;
  }
  const int linkError = errno;
  if (linkError == EEXIST) return false;
  if (linkError == EXDEV) return CopyThenDelete(src, dst);
  // File systems without hard links: fall back to a checked rename.
  if (lstat(dst.c_str(), &st) == 0) return false;
  if (rename(src.c_str(), dst.c_str()) == 0) return true;
  return errno == EXDEV && CopyThenDelete(src, dst);
}

bool AvailableDiskSpace(const Text& folder, std::uint64_t& bytes) {
  struct statvfs vfs;
  const std::string where = folder.empty() ? std::string(".") : NativePath(folder);
  if (statvfs(where.c_str(), &vfs) != 0) return false;
  bytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  return true;
}

char16_t PathSeparator() { return u'/'; }

Text WithNativeSeparators(Text path) {
  for (char16_t& c : path)
    if (c == u'\\') c = u'/';
  return path;
}

Text WindowsFolder() { return Text(); }
Text SystemFolder() { return Text(); }

struct FileWriter::Impl {
  int fd = -1;
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
  impl_->fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return IsOpen();
}

bool FileWriter::IsOpen() const { return impl_ && impl_->fd >= 0; }

bool FileWriter::Write(const char* data, std::size_t size) {
  if (!IsOpen()) return false;
  while (size > 0) {
    const ssize_t w = write(impl_->fd, data, size);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    size -= static_cast<std::size_t>(w);
  }
  return true;
}

bool FileWriter::Close() {
  if (!IsOpen()) return true;
  const bool ok = close(impl_->fd) == 0;
  impl_->fd = -1;
  return ok;
}

}  // namespace kavrel
