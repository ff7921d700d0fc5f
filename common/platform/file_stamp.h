// The file stamp seam: attributes and times of a file, as an archive entry
// carries them. Used when unpacking packages so that the files on disk look
// as they did where the archive was made. Failures are values (false).
#pragma once

#include <cstdint>

#include "common/platform/text.h"

namespace kavrel {

// Attribute bits of the archive format's "external attributes" low byte.
constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
constexpr std::uint32_t kFileAttributeHidden = 0x02;
constexpr std::uint32_t kFileAttributeSystem = 0x04;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kFileAttributeArchive = 0x20;

// Sets the file's attributes. On Windows the read-only, hidden, system and
// archive bits of `attributes` are applied (none of them: a normal file).
// Elsewhere `unixMode` (permission bits only; 0 = the default 0644) is
// applied, without its write bits when the read-only bit is set. (0, 0)
// makes a file plain and writable again, so that it can be replaced.
bool SetFileStampAttributes(const Text& path, std::uint32_t attributes, std::uint32_t unixMode);

// Sets the file's times, in seconds since 1970-01-01 UTC. `created` is
// applied only where the platform keeps a settable creation time (Windows).
bool SetFileStampTimes(const Text& path, std::int64_t modified, std::int64_t accessed,
                       std::int64_t created);

}  // namespace kavrel
