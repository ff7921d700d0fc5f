// The value cipher of the settings file.
//
// Encipher: the text in the ANSI code page (at most 1,023 bytes taken), cut
// into 8-byte blocks padded with zero bytes, wrapped with the AES key wrap
// (AES-128) under the settings key-encryption key, and written as upper-case
// hexadecimal: 16 x (n + 1) digits for n blocks. For values of more than 42
// blocks the wrap's counter is taken modulo 256 in both directions.
//
// Decipher: the inverse; lower-case digits are accepted. Anything that is not
// a valid enciphered value (odd length, a non-hexadecimal digit, fewer than
// 32 digits, or a wrap whose check fails) deciphers to the empty text, which
// callers treat as "not set". The empty text maps to the empty text both ways.
//
// The singleton has no state: every call is safe on any thread.
#pragma once

#include "common/platform/text.h"

namespace kavrel {

class SettingsCipher {
 public:
  static SettingsCipher& Instance();  // made on first use, never destroyed

  Text Encipher(const Text& text) const;
  Text Decipher(const Text& text) const;

 private:
  SettingsCipher() = default;
};

}  // namespace kavrel
