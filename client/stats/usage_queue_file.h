// The offline queue file (bi.dat): records that could not be delivered, one
// per line in the system's ANSI code page, each line ended by a single line
// feed byte; no header, no count.
#pragma once

#include <vector>

#include "common/platform/text.h"

namespace kavrel {

constexpr char16_t kUsageQueueFileName[] = u"bi.dat";

// Appends the records of `file` to `records` (empty lines skipped, each
// record cut to kMaxRecordLength) and deletes the file. A missing file adds
// nothing; a file that exists but cannot be read is left in place.
void LoadUnsent(const Text& file, std::vector<Text>& records);

// Appends `records` to `file`, one whole record per line, creating the file
// when needed. Line breaks inside a record are written as spaces so that the
// record stays one line. False, and the file left as it was, when the file
// cannot be read back or written.
bool SaveUnsent(const Text& file, const std::vector<Text>& records);

}  // namespace kavrel
