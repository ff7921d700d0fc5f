// The files seam: whole-file reads and writes and simple questions about
// paths. Paths are Texts in the platform's own form (backslashes on Windows;
// forward slashes work in both builds). Failures are values: false or empty.
#pragma once

#include <string>

#include "common/platform/text.h"

namespace kavrel {

// Reads the whole file into `bytes`. False (bytes emptied) when the file
// cannot be opened or read.
bool ReadFileBytes(const Text& path, std::string& bytes);

// Creates or replaces the file with `bytes`. False when it cannot be written.
bool WriteFileBytes(const Text& path, const std::string& bytes);

bool FileExists(const Text& path);       // a file, not a folder
bool FolderExists(const Text& path);

// Removes a file; true when it is gone afterwards (also when it never was).
bool DeleteFileAt(const Text& path);

}  // namespace kavrel
