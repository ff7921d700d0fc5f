// The folder of the running executable, with its final separator ('\' on
// Windows, '/' on Linux). config.ini, the language file, the skin folder and
// the updater's files are resolved against it.
#pragma once

#include "common/platform/text.h"

namespace kavrel {

Text ProgramFolder();

// Makes ProgramFolder() answer `folder` (which must end in a separator) from
// now on; an empty text restores the real folder. For tests and tools that
// work on an installation other than their own.
void SetProgramFolder(const Text& folder);

}  // namespace kavrel
