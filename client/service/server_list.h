// The service servers of "ServerUrl" and the player's authorisation bases
// of "UerSetMeal", both lists of entries each followed by "<EOF>".
#pragma once

#include <cstddef>
#include <vector>

#include "common/platform/text.h"

namespace kavrel {

class SettingsFile;

constexpr char16_t kEntrySeparator[] = u"<EOF>";
constexpr std::size_t kMaxServers = 3;

// Up to three non-empty entries, each ended by the separator: text after the
// last separator and everything from the first empty entry on are ignored.
std::vector<Text> ParseServerList(const Text& value);

// ParseServerList of "ServerUrl" (deciphered) of the given settings, or of
// the process's config.ini.
std::vector<Text> ReadServerList(SettingsFile& settings);
std::vector<Text> ReadServerList();

// Entry `index` of exactly three separator-ended entries (entries may be
// empty); empty when the value has fewer than three separators or `index` is
// not below three.
Text PlayerAuthEntry(const Text& value, std::size_t index);

}  // namespace kavrel
