// The files seam: whole-file reads and writes and simple questions about
// paths. Paths are Texts in the platform's own form (backslashes on Windows;
// forward slashes work in both builds). Failures are values: false or empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
// On Windows a file that a running process holds open cannot be deleted.
bool DeleteFileAt(const Text& path);

// Creates one folder (its parent must exist). True when the folder exists
// afterwards, also when it already did.
bool CreateFolder(const Text& path);

// Moves a file to `to`, also to another volume. Never overwrites: false when
// `to` exists already, or when the move fails.
bool MoveFileTo(const Text& from, const Text& to);

// The free space, in bytes, available to the calling user on the volume of
// `folder` (the process's current folder when `folder` is empty). False when
// the platform cannot tell.
bool AvailableDiskSpace(const Text& folder, std::uint64_t& bytes);

// The platform's folder separator: '\\' on Windows, '/' elsewhere.
char16_t PathSeparator();

// `path` with every '\\' and '/' turned into PathSeparator().
Text WithNativeSeparators(Text path);

// The system's Windows folder and system folder; empty where the platform has
// none (every build but Windows).
Text WindowsFolder();
Text SystemFolder();

// Writes a file as its bytes arrive, without holding them in memory.
// Move-only; closes the file when destroyed.
class FileWriter {
 public:
  FileWriter();
  ~FileWriter();
  FileWriter(FileWriter&&) noexcept;
  FileWriter& operator=(FileWriter&&) noexcept;

  // Creates or truncates the file. False when it cannot be opened.
  bool Open(const Text& path);
  bool IsOpen() const;
  // Appends all of `data`. False when the file is not open or a write failed.
  bool Write(const char* data, std::size_t size);
  // Closes the file; false when the last writes could not be completed.
  bool Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kavrel
