#include "client/foundation/stream_cipher.h"

#include <gtest/gtest.h>

#include "client/foundation/cipher_keys.h"
#include "client/foundation/des.h"
#include "client/foundation/hex.h"
#include "common/platform/code_page.h"

namespace kavrel {
namespace {

uint8_t Reverse(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}

// The classic DES example (key 133457799BBCDFF1, plain 0123456789ABCDEF,
// cipher 85E813540F0AB405) in standard bit order is the same example with
// every byte bit-reversed in ours.
TEST(StreamCipherTest, DesNumbersBitsLeastSignificantFirst) {
  const uint8_t stdKey[8] = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF, 0xF1};
  const uint8_t stdPlain[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  const uint8_t stdCipher[8] = {0x85, 0xE8, 0x13, 0x54, 0x0F, 0x0A, 0xB4, 0x05};
  uint8_t key[8], plain[8], out[8], back[8];
  for (int i = 0; i < 8; ++i) {
    key[i] = Reverse(stdKey[i]);
    plain[i] = Reverse(stdPlain[i]);
  }
  const Des des(key);
  des.EncryptBlock(plain, out);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Reverse(out[i]), stdCipher[i]) << i;
  des.DecryptBlock(out, back);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 8), std::string(reinterpret_cast<char*>(plain), 8));
}

TEST(StreamCipherTest, AddressesRoundTrip) {
  const Text addresses[] = {
      u"a",
      u"rtmp://stream.test/live/1",          // 25 bytes: a partial last block
      u"http://s.test/ch/0123456789abcdef",  // whole blocks
      Text(64, u'x'),                        // the longest the client reads back
  };
  for (const Text& a : addresses) {
    const Text e = EncodeStreamAddress(a);
    EXPECT_EQ(e.size(), (a.size() + 7) / 8 * 16) << TextToUtf8(a);
    EXPECT_EQ(DecodeStreamAddress(e), a) << TextToUtf8(a);
    Text lower = e;
    for (char16_t& c : lower)
      if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c + 32);
    EXPECT_EQ(DecodeStreamAddress(lower), a) << TextToUtf8(a);
  }
  EXPECT_EQ(EncodeStreamAddress(u""), u"");
  EXPECT_EQ(DecodeStreamAddress(u""), u"");
}

// A cipher block may begin with a zero byte; the blocks after it still count.
TEST(StreamCipherTest, ZeroByteInCipherTextDoesNotCutTheAddress) {
  const CipherKey key = StreamKey();
  // Search a two-block address whose second cipher block starts with 00.
  for (int i = 10; i < 100000; ++i) {
    const std::string address = "rtmp://" + std::to_string(i);
    const std::string cipher = StreamEncipher(address, key.data());
    if (cipher.size() == 16 && cipher[8] == '\0') {
      EXPECT_EQ(DecodeStreamAddress(AsciiToText(BytesToHex(cipher))), AsciiToText(address));
      return;
    }
  }
  FAIL() << "no cipher text with a zero byte found";
}

TEST(StreamCipherTest, BrokenTextGivesNoGarbage) {
  const Text good = EncodeStreamAddress(u"http://s.test/live/abc");
  // Not hexadecimal at all, or only from the middle on: the blocks decoded
  // before it are all there is.
  EXPECT_EQ(DecodeStreamAddress(u"not hexadecimal"), u"");
  EXPECT_EQ(DecodeStreamAddress(good.substr(0, 16) + u"zz" + good.substr(18)), u"http://s");
  // Longer than the 128-byte buffer: cut, never overrun.
  const Text huge = EncodeStreamAddress(Text(100, u'y'));
  EXPECT_EQ(DecodeStreamAddress(huge), Text(64, u'y'));
  EXPECT_EQ(DecodeStreamAddress(good + u"0"), u"http://s.test/live/abc");  // odd digit ignored
}

TEST(StreamCipherTest, AddressTravelsInTheAnsiCodePage) {
  if (!SetAnsiCodePage(949)) GTEST_SKIP() << "code page 949 unavailable";
  const Text address = u"http://s.test/채널";
  EXPECT_EQ(DecodeStreamAddress(EncodeStreamAddress(address)), address);
  SetAnsiCodePage(1252);
}

}  // namespace
}  // namespace kavrel
