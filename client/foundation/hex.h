// Hexadecimal byte text, shared by the ciphers.
#pragma once

#include <string>
#include <string_view>

namespace kavrel {

// Two upper-case digits per byte.
std::string BytesToHex(std::string_view bytes);

// Value of one digit (0-9, A-F, a-f), or -1.
int HexDigitValue(char c);

}  // namespace kavrel
