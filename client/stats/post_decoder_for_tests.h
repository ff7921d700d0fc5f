// Undoes the statistics post encoding, as the statistics server does: the
// records a form body carries. Test support only.
#pragma once

#include <string>
#include <vector>

#include "common/platform/text.h"

namespace kavrel {

// The bytes of standard Base64 (with "=" padding); false on any other input.
bool Base64Decode(const std::string& text, std::string& bytes);

// The records of a body "mes=<message>": percent escapes undone, "-" back to
// "+", Base64 and UTF-8 decoded, split at "^^". False when the body is not in
// that form.
bool DecodePostBody(const std::string& body, std::vector<Text>& records);

}  // namespace kavrel
