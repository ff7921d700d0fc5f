// The AES key wrap (RFC 3394) over AES-128, as the settings cipher uses it.
//
// The data is whole 8-byte blocks. The wrap's step counter t = n x j + i is
// applied to the last byte of A only, modulo 256: identical to RFC 3394 for up
// to 42 blocks (t <= 252), and the settings files' own extension beyond that.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel {

// `plain` must be a non-empty multiple of 8 bytes; answers 8 more bytes, or
// the empty string for any other length.
std::string KeyWrap(const uint8_t kek[16], std::string_view plain);

// False (plain emptied) when `wrapped` is not at least 16 bytes of whole
// blocks or the integrity check fails.
bool KeyUnwrap(const uint8_t kek[16], std::string_view wrapped, std::string& plain);

}  // namespace kavrel
