// Helpers shared by the statistics tests.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/platform/files.h"
#include "common/platform/text.h"

namespace kavrel {

// A fresh empty folder under the system's temporary folder, removed with
// its files when the test ends.
class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
      const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
      path_ = base / ("kavrel_stats_" + std::to_string(stamp) + "_" +
                      std::to_string(counter++));
      std::error_code error;
      if (std::filesystem::create_directory(path_, error) || attempt > 100) break;
    }
  }
  ~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The path of `name` inside the folder, as the files seam takes it.
  Text File(const std::string& name) const { return (path_ / name).u16string(); }

 private:
  std::filesystem::path path_;
};

// Readable in test failures.
inline std::string U8(const Text& text) { return TextToUtf8(text); }

inline std::vector<std::string> U8(const std::vector<Text>& texts) {
  std::vector<std::string> out;
  for (const Text& t : texts) out.push_back(TextToUtf8(t));
  return out;
}

}  // namespace kavrel
