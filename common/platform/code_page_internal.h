// Shared between the code-page implementations; not for other modules.
#pragma once

#include "common/platform/code_page.h"

namespace kavrel::internal {

Text Utf16BytesToText(std::string_view bytes, bool bigEndian);
std::string TextToUtf16Bytes(TextView text, bool bigEndian);

}  // namespace kavrel::internal
