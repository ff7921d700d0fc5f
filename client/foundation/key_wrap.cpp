#include "client/foundation/key_wrap.h"

#include <cstring>

#include "client/foundation/aes128.h"

namespace kavrel {
namespace {
constexpr uint8_t kInitialValue = 0xA6;
}

std::string KeyWrap(const uint8_t kek[16], std::string_view plain) {
  if (plain.empty() || plain.size() % 8 != 0) return std::string();
  const Aes128 aes(kek);
  const size_t n = plain.size() / 8;
  std::string r(plain);
  uint8_t b[16];
  std::memset(b, kInitialValue, 8);  // A lives in b[0..7] between steps
  for (size_t j = 0; j <= 5; ++j) {
    for (size_t i = 1; i <= n; ++i) {
      std::memcpy(b + 8, r.data() + 8 * (i - 1), 8);
      aes.EncryptBlock(b, b);
      b[7] ^= static_cast<uint8_t>((n * j + i) & 0xFF);
      std::memcpy(&r[8 * (i - 1)], b + 8, 8);
    }
  }
  return std::string(reinterpret_cast<const char*>(b), 8) + r;
}

bool KeyUnwrap(const uint8_t kek[16], std::string_view wrapped, std::string& plain) {
  plain.clear();
  if (wrapped.size() < 16 || wrapped.size() % 8 != 0) return false;
  const Aes128 aes(kek);
  const size_t n = wrapped.size() / 8 - 1;
  std::string r(wrapped.substr(8));
  uint8_t b[16];
  std::memcpy(b, wrapped.data(), 8);
  for (size_t j = 6; j-- > 0;) {
    for (size_t i = n; i >= 1; --i) {
      b[7] ^= static_cast<uint8_t>((n * j + i) & 0xFF);
      std::memcpy(b + 8, r.data() + 8 * (i - 1), 8);
      aes.DecryptBlock(b, b);
      std::memcpy(&r[8 * (i - 1)], b + 8, 8);
    }
  }
  for (int k = 0; k < 8; ++k)
    if (b[k] != kInitialValue) return false;
  plain = std::move(r);
  return true;
}

}  // namespace kavrel
