#include <fcntl.h>
#include <sys/stat.h>

#include "common/platform/file_stamp.h"

namespace kavrel {

bool SetFileStampAttributes(const Text& path, std::uint32_t attributes, std::uint32_t unixMode) {
  mode_t mode = unixMode & 0777;
  if (mode == 0) mode = 0644;
  if (attributes & kFileAttributeReadOnly) mode &= ~static_cast<mode_t>(0222);
  return chmod(TextToUtf8(path).c_str(), mode) == 0;
}

bool SetFileStampTimes(const Text& path, std::int64_t modified, std::int64_t accessed,
                       std::int64_t /*created*/) {
  struct timespec times[2] = {};
  times[0].tv_sec = static_cast<time_t>(accessed);
  times[1].tv_sec = static_cast<time_t>(modified);
  return utimensat(AT_FDCWD, TextToUtf8(path).c_str(), times, 0) == 0;
}

}  // namespace kavrel
