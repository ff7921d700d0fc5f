#include "client/foundation/settings_cipher.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "client/foundation/aes128.h"
#include "client/foundation/hex.h"
#include "client/foundation/key_wrap.h"
#include "common/platform/code_page.h"

namespace kavrel {
namespace {

std::string FromHex(const char* hex) {
  std::string out;
  for (const char* p = hex; p[0] && p[1]; p += 2)
    out.push_back(static_cast<char>(HexDigitValue(p[0]) << 4 | HexDigitValue(p[1])));
  return out;
}

const uint8_t kCountingKey[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// The AES-128 example of the standard's appendix C.1, both directions.
TEST(SettingsCipherTest, AesStandardExample) {
  const std::string plain = FromHex("00112233445566778899aabbccddeeff");
  const Aes128 aes(kCountingKey);
  uint8_t out[16], back[16];
  aes.EncryptBlock(reinterpret_cast<const uint8_t*>(plain.data()), out);
  EXPECT_EQ(BytesToHex(std::string(reinterpret_cast<char*>(out), 16)), "69C4E0D86A7B0430D8CDB78070B4C55A");
  aes.DecryptBlock(out, back);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 16), plain);
}

// The 128-bit key data wrapped with a 128-bit KEK, from the key-wrap RFC.
TEST(SettingsCipherTest, KeyWrapRfcExample) {
  const std::string data = FromHex("00112233445566778899AABBCCDDEEFF");
  const std::string wrapped = KeyWrap(kCountingKey, data);
  EXPECT_EQ(BytesToHex(wrapped), "1FA68B0A8112B447AEF34BD8FB5A7B829D3E862371D2CFE5");
  std::string back;
  ASSERT_TRUE(KeyUnwrap(kCountingKey, wrapped, back));
  EXPECT_EQ(back, data);
  std::string tampered = wrapped;
  tampered[10] ^= 1;
  EXPECT_FALSE(KeyUnwrap(kCountingKey, tampered, back));
  EXPECT_EQ(back, "");
}

TEST(SettingsCipherTest, LengthsGiveWholeBlocksOfDigits) {
  const struct {
    size_t bytes, digits;
  } cases[] = {{1, 32}, {8, 32}, {9, 48}, {16, 48}, {496, 1008}};
  for (const auto& c : cases) {
    const Text e = SettingsCipher::Instance().Encipher(Text(c.bytes, u'a'));
    EXPECT_EQ(e.size(), c.digits) << c.bytes;
    EXPECT_EQ(e.find_first_not_of(u"0123456789ABCDEF"), Text::npos) << c.bytes;
  }
}

// Round trips across the counter's wrap at 256 (more than 42 blocks) up to
// the largest value the settings file can hold.
TEST(SettingsCipherTest, RoundTripsOneTo496Bytes) {
  std::mt19937 random(4);
  std::uniform_int_distribution<int> printable(0x20, 0x7E);
  const SettingsCipher& cipher = SettingsCipher::Instance();
  for (size_t n = 1; n <= 496; ++n) {
    Text value;
    for (size_t i = 0; i < n; ++i) value.push_back(static_cast<char16_t>(printable(random)));
    const Text e = cipher.Encipher(value);
    ASSERT_EQ(cipher.Decipher(e), value) << n;
    if (n == 336 || n == 337 || n == 496) {
      Text lower = e;
      for (char16_t& c : lower)
        if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c + 32);
      EXPECT_EQ(cipher.Decipher(lower), value) << n;
    }
  }
}

// Non-ASCII text goes through the ANSI code page; what it cannot hold is lost.
TEST(SettingsCipherTest, TextTravelsInTheAnsiCodePage) {
  const SettingsCipher& cipher = SettingsCipher::Instance();
  if (SetAnsiCodePage(949)) {
    EXPECT_EQ(cipher.Decipher(cipher.Encipher(u"채널<EOF>")), u"채널<EOF>");
    SetAnsiCodePage(1252);
  }
  EXPECT_EQ(cipher.Decipher(cipher.Encipher(u"caf\u00e9")), u"caf\u00e9");
  EXPECT_EQ(cipher.Encipher(u""), u"");
  EXPECT_EQ(cipher.Decipher(u""), u"");
}

TEST(SettingsCipherTest, InvalidStoredTextDeciphersToEmpty) {
  const SettingsCipher& cipher = SettingsCipher::Instance();
  const Text good = cipher.Encipher(u"http://example.test/<EOF>");
  ASSERT_FALSE(cipher.Decipher(good).empty());
  Text flipped = good;
  flipped[20] = flipped[20] == u'0' ? u'1' : u'0';
  const Text cases[] = {
      good.substr(0, good.size() - 1),  // odd length
      good.substr(0, good.size() - 2),  // not whole blocks
      good.substr(0, 16),               // shorter than one block and the check
      u"G" + good.substr(1),            // not a digit
      u"\uAC00" + good.substr(1),       // not even ASCII
      flipped,                          // the check fails
      Text(32, u'0'),
  };
  for (const Text& c : cases) EXPECT_EQ(cipher.Decipher(c), u"") << TextToUtf8(c);
}

}  // namespace
}  // namespace kavrel
