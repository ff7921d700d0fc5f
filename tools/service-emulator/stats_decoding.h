// Decoding of the statistics reporter's posts to "collected".
//
// The reporter joins its records with "^^", encodes them as UTF-8 and Base64,
// replaces every "+" by "-", percent-escapes every byte outside 0-9, a-z,
// A-Z, "/" and ".", and posts "mes=" followed by the result as a form. This
// undoes those steps in reverse order. Pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::emulator {

// "%XX" escapes back to bytes (either letter case). A "%" not followed by two
// hexadecimal digits is kept as it stands. "+" is not a space here.
std::string PercentDecode(std::string_view text);

// RFC 4648 Base64 with "=" padding; white space is skipped. Empty on any
// other character or a bad length, with `ok` false.
std::string Base64Decode(std::string_view text, bool* ok);

// The records of a posted form body. nullopt with `error` set when the body
// has no "mes" field, the Base64 is broken or the bytes are not UTF-8.
// An empty message gives no records.
std::optional<std::vector<std::string>> DecodeCollected(std::string_view body,
                                                        std::string* error);

}  // namespace kavrel::emulator
