// Advertisement packages: zip archives holding a small web site whose start
// page is "index.html" at the archive's top level.
//
// ExtractPackage unpacks one archive into a folder. Every entry stays inside
// that folder whatever its name says; an entry that cannot be written or
// whose data is corrupt is skipped and the others are still extracted.
// Safe to call from any thread; two calls must not share a target folder.
#pragma once

#include <cstddef>

#include "common/platform/text.h"

namespace kavrel {

// The longest entry name taken from an archive, in UTF-16 code units; the
// rest of a longer name is cut off.
constexpr std::size_t kMaxPackageEntryName = 260;

struct ExtractResult {
  bool opened = false;  // the file was a readable archive
  int extracted = 0;    // files and folders written
  int skipped = 0;      // entries that could not be written or were corrupt
};

// Unpacks `zipFile` into `folder` (created when missing; its parent must
// exist), in archive order: folders for directory entries, files with the
// entry's attributes and times (the extended time stamp when present, else
// the archive's local date and time). Existing files are replaced.
ExtractResult ExtractPackage(const Text& zipFile, const Text& folder);

// The path, relative to the target folder and with the platform's
// separators, at which an entry named `name` is extracted; empty when the
// name leaves nothing to write. Drive prefixes, leading separators, "." steps
// and everything up to the last ".." step are dropped; characters that are
// not allowed in file names become '_'. Exposed for tests.
Text SafeEntryPath(TextView name);

}  // namespace kavrel
