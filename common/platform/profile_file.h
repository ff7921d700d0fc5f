// The profile-file seam: one key of one section of an INI file.
//
// On Windows these are the system's profile-string functions. On Linux they
// are our own and behave the same for what the programs do: section and key
// names compare without regard to case, the value is trimmed of surrounding
// blanks and of one pair of matching quotes, a missing file, section or key
// answers the fallback, and a value read is cut to 1,023 characters. Writing
// replaces the key's line in place (or appends it, adding the section when it
// is missing) and keeps every other line, comments and blank lines included.
//
// Paths are Texts in the platform's own form (Linux opens TextToUtf8(path)).
// Every call opens and closes the file; nothing is cached. The functions do
// not serialise callers: a writer that shares a file across threads locks.
#pragma once

#include "common/platform/text.h"

namespace kavrel {

// The longest value a read returns: the system reads into 1,024 characters.
constexpr size_t kProfileValueMax = 1023;

// The value of `key` in `section`, or `fallback` when the file, the section or
// the key is missing. A key present with an empty value answers the empty text.
Text GetProfileText(const Text& path, const Text& section, const Text& key, const Text& fallback);

// Writes `key`=`value` into `section`, creating the file and the section as
// needed. False when the file cannot be written.
bool SetProfileText(const Text& path, const Text& section, const Text& key, const Text& value);

// Removes `key` from `section`. True also when the key was not there.
bool RemoveProfileKey(const Text& path, const Text& section, const Text& key);

}  // namespace kavrel
