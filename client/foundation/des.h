// DES with the standard tables, but with the bits of a block and of a key
// numbered least significant bit first within each byte: bit 1 of the
// standard numbering is the bit of value 1 of byte 0, bit 8 the bit of value
// 128 of byte 0, bit 9 the bit of value 1 of byte 1, and so on. Output bits
// are packed back the same way. This is the DES of the service's stream
// cipher; it equals standard DES on bit-reversed bytes.
#pragma once

#include <cstdint>

namespace kavrel {

class Des {
 public:
  explicit Des(const uint8_t key[8]);
  void EncryptBlock(const uint8_t in[8], uint8_t out[8]) const;
  void DecryptBlock(const uint8_t in[8], uint8_t out[8]) const;

 private:
  uint64_t Crypt(uint64_t block, bool decrypt) const;
  uint64_t subkeys[16];  // 48 bits each, in the low bits
};

}  // namespace kavrel
