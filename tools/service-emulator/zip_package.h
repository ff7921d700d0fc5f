// Advertisement packages: a folder packed into a zip archive in memory.
#pragma once

#include <string>

namespace kavrel::emulator {

// Packs every file below `folder` (names relative to it, "/" between
// folders, in sorted order), deflated, each entry carrying its file's
// modification time in local time. False with `error` set when the folder
// cannot be read or the archive cannot be written.
bool BuildZipPackage(const std::string& folder, std::string* archive, std::string* error);

}  // namespace kavrel::emulator
