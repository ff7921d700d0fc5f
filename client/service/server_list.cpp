#include "client/service/server_list.h"

#include "client/foundation/settings_file.h"

namespace kavrel {

namespace {
constexpr std::size_t kSeparatorLength = sizeof(kEntrySeparator) / sizeof(char16_t) - 1;
constexpr std::size_t kPlayerAuthEntries = 3;
}  // namespace

std::vector<Text> ParseServerList(const Text& value) {
  std::vector<Text> servers;
  std::size_t from = 0;
  while (servers.size() < kMaxServers) {
    const std::size_t cut = value.find(kEntrySeparator, from);
    if (cut == Text::npos || cut == from) break;
    servers.push_back(value.substr(from, cut - from));
    from = cut + kSeparatorLength;
  }
  return servers;
}

std::vector<Text> ReadServerList(SettingsFile& settings) {
  return ParseServerList(settings.ReadValue(u"ServerUrl", true));
}

std::vector<Text> ReadServerList() { return ReadServerList(SettingsFile::Instance()); }

Text PlayerAuthEntry(const Text& value, std::size_t index) {
  std::vector<Text> entries;
  std::size_t from = 0;
  for (std::size_t i = 0; i < kPlayerAuthEntries; ++i) {
    const std::size_t cut = value.find(kEntrySeparator, from);
    if (cut == Text::npos) return Text();
    entries.push_back(value.substr(from, cut - from));
    from = cut + kSeparatorLength;
  }
  return index < entries.size() ? entries[index] : Text();
}

}  // namespace kavrel
