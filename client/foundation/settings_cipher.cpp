#include "client/foundation/settings_cipher.h"

#include <string>

#include "client/foundation/cipher_keys.h"
#include "client/foundation/hex.h"
#include "client/foundation/key_wrap.h"
#include "common/platform/code_page.h"

namespace kavrel {
namespace {

// The system converts into a zero-filled buffer of 1,024 bytes: at most 1,023
// bytes of text, ended by the first zero byte.
constexpr size_t kAnsiBufferBytes = 1024;

std::string AnsiBytes(const Text& text) {
  std::string bytes = TextToBytes(text, kCodePageAnsi);
  const size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
  if (bytes.size() > kAnsiBufferBytes - 1) bytes.resize(kAnsiBufferBytes - 1);
  return bytes;
}

}  // namespace

SettingsCipher& SettingsCipher::Instance() {
  static SettingsCipher* instance = new SettingsCipher();
  return *instance;
}

Text SettingsCipher::Encipher(const Text& text) const {
  std::string bytes = AnsiBytes(text);
  if (bytes.empty()) return Text();
  bytes.resize((bytes.size() + 7) / 8 * 8, '\0');
  const CipherKey kek = SettingsKeyEncryptionKey();
  return AsciiToText(BytesToHex(KeyWrap(kek.data(), bytes)));
}

Text SettingsCipher::Decipher(const Text& text) const {
  if (text.empty()) return Text();
  // A valid value is ASCII digits only, so any other character fails below.
  const std::string digits = TextToBytes(text, kCodePageAnsi);
  if (digits.size() < 32 || digits.size() % 16 != 0) return Text();
  std::string wrapped;
  wrapped.reserve(digits.size() / 2);
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int hi = HexDigitValue(digits[i]), lo = HexDigitValue(digits[i + 1]);
    if (hi < 0 || lo < 0) return Text();
    wrapped.push_back(static_cast<char>(hi << 4 | lo));
  }
  const CipherKey kek = SettingsKeyEncryptionKey();
  std::string plain;
  if (!KeyUnwrap(kek.data(), wrapped, plain)) return Text();
  const size_t zero = plain.find('\0');
  if (zero != std::string::npos) plain.resize(zero);
  return BytesToText(plain, kCodePageAnsi);
}

}  // namespace kavrel
