#include "client/foundation/cipher_keys.h"

#ifndef KAVREL_SETTINGS_KEY_HEX
#error "KAVREL_SETTINGS_KEY_HEX must be defined by the build"
#endif
#ifndef KAVREL_STREAM_KEY_HEX
#error "KAVREL_STREAM_KEY_HEX must be defined by the build"
#endif

namespace kavrel {
namespace {

constexpr CipherKey kMask = {0x93, 0x2E, 0x5B, 0xC4, 0x17, 0x88, 0xF1, 0x6A,
                             0x3D, 0xA2, 0x49, 0xE6, 0x0B, 0x75, 0xDC, 0x58};

constexpr int HexDigit(char c) {
  return c >= '0' && c <= '9' ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                : -1;
}

constexpr bool IsKeyText(const char* hex) {
  for (int i = 0; i < 32; ++i)
    if (HexDigit(hex[i]) < 0) return false;
  return hex[32] == '\0';
}

// The key from its digits, masked, computed by the compiler: the plain bytes
// never appear in the program image.
constexpr CipherKey Masked(const char* hex) {
  CipherKey k{};
  for (int i = 0; i < 16; ++i)
    k[i] = static_cast<uint8_t>((HexDigit(hex[2 * i]) << 4 | HexDigit(hex[2 * i + 1])) ^ kMask[i]);
  return k;
}

static_assert(IsKeyText(KAVREL_SETTINGS_KEY_HEX), "KAVREL_SETTINGS_KEY needs 32 hexadecimal digits");
static_assert(IsKeyText(KAVREL_STREAM_KEY_HEX), "KAVREL_STREAM_KEY needs 32 hexadecimal digits");

constexpr CipherKey kSettingsMasked = Masked(KAVREL_SETTINGS_KEY_HEX);
constexpr CipherKey kStreamMasked = Masked(KAVREL_STREAM_KEY_HEX);

CipherKey Unmask(const CipherKey& masked) {
  // volatile keeps the compiler from folding the key back into a constant.
  volatile const uint8_t* mask = kMask.data();
  CipherKey k{};
  for (int i = 0; i < 16; ++i) k[i] = static_cast<uint8_t>(masked[i] ^ mask[i]);
  return k;
}

}  // namespace

CipherKey SettingsKeyEncryptionKey() { return Unmask(kSettingsMasked); }
CipherKey StreamKey() { return Unmask(kStreamMasked); }

}  // namespace kavrel
