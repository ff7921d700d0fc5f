#include "common/platform/program_folder.h"

#include <mutex>

namespace kavrel {
namespace internal {
Text ExecutableFolder();  // per platform
}

namespace {
std::mutex gMutex;
Text gOverride;
}  // namespace

Text ProgramFolder() {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gOverride.empty()) return gOverride;
  }
  return internal::ExecutableFolder();
}

void SetProgramFolder(const Text& folder) {
  std::lock_guard<std::mutex> lock(gMutex);
  gOverride = folder;
}

}  // namespace kavrel
