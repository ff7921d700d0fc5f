// The last system error of the calling thread, for records that name why a
// file operation failed: errno and strerror on Linux, GetLastError and
// FormatMessage on Windows.
#pragma once

#include <cstddef>

#include "common/platform/text.h"

namespace kavrel {

// The calling thread's last error number (0 = none).
unsigned long LastErrorNumber();

// The system's message for `error`, cut at the first line break. Empty when
// there is none or it does not fit in `maxLength` characters.
Text ErrorMessage(unsigned long error, std::size_t maxLength);

}  // namespace kavrel
