// AES-128 block cipher (FIPS-197): one 16-byte block at a time.
#pragma once

#include <cstdint>

namespace kavrel {

class Aes128 {
 public:
  explicit Aes128(const uint8_t key[16]);
  void EncryptBlock(const uint8_t in[16], uint8_t out[16]) const;
  void DecryptBlock(const uint8_t in[16], uint8_t out[16]) const;

 private:
  uint8_t roundKeys[176];
};

}  // namespace kavrel
