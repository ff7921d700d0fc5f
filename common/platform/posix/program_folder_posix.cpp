#include <unistd.h>

#include <string>

#include "common/platform/program_folder.h"

namespace kavrel::internal {

Text ExecutableFolder() {
  std::string path(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) return AsciiToText("./");
  path.resize(static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  path.resize(slash == std::string::npos ? 0 : slash + 1);
  return Utf8ToText(path);
}

}  // namespace kavrel::internal
