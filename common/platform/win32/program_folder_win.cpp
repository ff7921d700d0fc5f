#include <windows.h>

#include "common/platform/program_folder.h"

namespace kavrel::internal {

Text ExecutableFolder() {
  // Paths may be longer than MAX_PATH: grow until the name fits.
  Text path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, AsWide(path), static_cast<DWORD>(path.size()));
    if (n == 0) return Text();
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 32768) return Text();
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(u"\\/");
  path.resize(slash == Text::npos ? 0 : slash + 1);
  return path;
}

}  // namespace kavrel::internal
