#include "client/foundation/stream_cipher.h"

#include "client/foundation/cipher_keys.h"
#include "client/foundation/des.h"
#include "client/foundation/hex.h"
#include "common/platform/code_page.h"

namespace kavrel {
namespace {

// The fee answer's text is converted into a buffer of 128 bytes, and the
// address read back is at most 128 characters.
constexpr size_t kAddressBufferBytes = 128;

std::string PaddedBlocks(std::string_view bytes) {
  std::string out(bytes);
  out.resize((out.size() + 7) / 8 * 8, '\0');
  return out;
}

}  // namespace

std::string StreamDecipher(std::string_view bytes, const uint8_t key[16]) {
  const Des k1(key), k2(key + 8);
  std::string out = PaddedBlocks(bytes);
  uint8_t block[8];
  for (size_t at = 0; at < out.size(); at += 8) {
    uint8_t* p = reinterpret_cast<uint8_t*>(&out[at]);
    k1.DecryptBlock(p, block);
    k2.EncryptBlock(block, block);
    k1.DecryptBlock(block, p);
  }
  return out;
}

std::string StreamEncipher(std::string_view bytes, const uint8_t key[16]) {
  const Des k1(key), k2(key + 8);
  std::string out = PaddedBlocks(bytes);
  uint8_t block[8];
  for (size_t at = 0; at < out.size(); at += 8) {
    uint8_t* p = reinterpret_cast<uint8_t*>(&out[at]);
    k1.EncryptBlock(p, block);
    k2.DecryptBlock(block, block);
    k1.EncryptBlock(block, p);
  }
  return out;
}

Text DecodeStreamAddress(TextView enciphered) {
  std::string digits = TextToBytes(enciphered, kCodePageAnsi);
  if (digits.size() > kAddressBufferBytes) digits.resize(kAddressBufferBytes);
  std::string bytes;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    const int hi = HexDigitValue(digits[i]), lo = HexDigitValue(digits[i + 1]);
    if (hi < 0 || lo < 0) break;
    bytes.push_back(static_cast<char>(hi << 4 | lo));
  }
  // Every decoded byte counts, zero bytes of the cipher text included: an
  // enciphered block may well start with a zero byte.
  const CipherKey key = StreamKey();
  std::string plain = StreamDecipher(bytes, key.data());
  const size_t zero = plain.find('\0');
  if (zero != std::string::npos) plain.resize(zero);
  Text address = BytesToText(plain, kCodePageAnsi);
  if (address.size() > kAddressBufferBytes) address.resize(kAddressBufferBytes);
  return address;
}

Text EncodeStreamAddress(TextView address) {
  std::string bytes = TextToBytes(address, kCodePageAnsi);
  const size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
  if (bytes.empty()) return Text();
  const CipherKey key = StreamKey();
  return AsciiToText(BytesToHex(StreamEncipher(bytes, key.data())));
}

}  // namespace kavrel
