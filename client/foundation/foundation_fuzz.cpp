// Feeds arbitrary text to everything in this module that reads outside data:
// stored settings values and the service's stream addresses. Nothing may
// crash, and what enciphers must decipher back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "client/foundation/settings_cipher.h"
#include "client/foundation/stream_cipher.h"
#include "common/platform/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavrel;
  const Text text = Utf8ToText(std::string(reinterpret_cast<const char*>(data), size));
  const SettingsCipher& cipher = SettingsCipher::Instance();
  cipher.Decipher(text);
  DecodeStreamAddress(text);

  // The ANSI form without zero bytes is what a value can hold.
  std::string ansi = TextToBytes(text, kCodePageAnsi);
  ansi = ansi.substr(0, ansi.find('\0'));
  if (ansi.size() <= 496) {
    const Text value = BytesToText(ansi, kCodePageAnsi);
    if (cipher.Decipher(cipher.Encipher(value)) != value) std::abort();
  }
  return 0;
}
