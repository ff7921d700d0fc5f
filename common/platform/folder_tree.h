// The folder tree seam: listing the folders inside a folder and deleting a
// folder with everything below it. Links are never followed: a link to a
// folder is listed as a folder but deleted as a link. Failures are values.
#pragma once

#include <vector>

#include "common/platform/text.h"

namespace kavrel {

// The names (not paths) of the folders directly inside `folder`, without "."
// and "..", in the platform's order; empty when it cannot be listed.
std::vector<Text> ListSubfolders(const Text& folder);

// Deletes `folder`: its files (read-only ones too), its folders the same way,
// then the folder itself. True when it is gone afterwards (also when it never
// was); false when something below it could not be deleted.
bool DeleteFolderTree(const Text& folder);

}  // namespace kavrel
