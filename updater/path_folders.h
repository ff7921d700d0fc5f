// Folder and name helpers shared by the plan and the download client.
#pragma once

#include "common/platform/text.h"

namespace kavrel {

// Creates every folder along a file path: for each separator ('\' or '/'),
// the folder named by the text before it, ignoring failures (an existing
// folder, or a drive name such as "C:", simply fails). The last component is
// never created, so the call prepares the folders for a file.
void CreatePathFolders(const Text& path);

// True when a name taken from the network or an update description can be
// used as one component of a path: not empty, not "." or "..", and free of
// separators, drive colons and control characters.
bool IsSafeFileName(TextView name);

// True when `path` is empty or a relative folder path (components separated
// by '\' or '/') whose components are all safe names; empty components
// between two separators are allowed, a leading separator is not.
bool IsSafeRelativePath(TextView path);

}  // namespace kavrel
