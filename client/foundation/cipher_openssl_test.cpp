// Differential tests of our ciphers against OpenSSL on random inputs. OpenSSL
// is used here only, never by the programs.
// Single DES is only in OpenSSL's deprecated interface.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/des.h>
#include <openssl/evp.h>

#include <random>
#include <string>

#include "client/foundation/aes128.h"
#include "client/foundation/des.h"
#include "client/foundation/key_wrap.h"
#include "client/foundation/stream_cipher.h"

namespace kavrel {
namespace {

std::string RandomBytes(std::mt19937& random, size_t n) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::string out(n, '\0');
  for (char& c : out) c = static_cast<char>(byte(random));
  return out;
}

const uint8_t* U(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::string OpenSslWrap(const std::string& kek, const std::string& plain) {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_CIPHER_CTX_set_flags(ctx, EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
  std::string out(plain.size() + 16, '\0');
  int len = 0, tail = 0;
  bool ok = EVP_EncryptInit_ex(ctx, EVP_aes_128_wrap(), nullptr, U(kek), nullptr) == 1 &&
            EVP_EncryptUpdate(ctx, reinterpret_cast<uint8_t*>(out.data()), &len, U(plain),
                              static_cast<int>(plain.size())) == 1 &&
            EVP_EncryptFinal_ex(ctx, reinterpret_cast<uint8_t*>(out.data()) + len, &tail) == 1;
  EVP_CIPHER_CTX_free(ctx);
  out.resize(ok ? static_cast<size_t>(len + tail) : 0);
  return out;
}

TEST(CipherOpenSslTest, AesBlocksMatch) {
  std::mt19937 random(1);
  for (int round = 0; round < 200; ++round) {
    const std::string key = RandomBytes(random, 16), block = RandomBytes(random, 16);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    uint8_t expected[32];
    int len = 0;
    ASSERT_EQ(EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, U(key), nullptr), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    ASSERT_EQ(EVP_EncryptUpdate(ctx, expected, &len, U(block), 16), 1);
    EVP_CIPHER_CTX_free(ctx);
    uint8_t ours[16], back[16];
    const Aes128 aes(U(key));
    aes.EncryptBlock(U(block), ours);
    ASSERT_EQ(std::string(reinterpret_cast<char*>(ours), 16), std::string(reinterpret_cast<char*>(expected), 16));
    aes.DecryptBlock(ours, back);
    ASSERT_EQ(std::string(reinterpret_cast<char*>(back), 16), block);
  }
}

// Up to 42 blocks the counter stays below 256 and our wrap is RFC 3394.
TEST(CipherOpenSslTest, KeyWrapMatchesUpTo42Blocks) {
  std::mt19937 random(2);
  for (size_t blocks = 2; blocks <= 42; ++blocks) {
    for (int round = 0; round < 3; ++round) {
      const std::string kek = RandomBytes(random, 16), plain = RandomBytes(random, 8 * blocks);
      const std::string expected = OpenSslWrap(kek, plain);
      ASSERT_EQ(expected.size(), plain.size() + 8);
      ASSERT_EQ(KeyWrap(U(kek), plain), expected) << blocks;
      std::string back;
      ASSERT_TRUE(KeyUnwrap(U(kek), expected, back));
      ASSERT_EQ(back, plain);
    }
  }
}

// Our DES is standard DES on bit-reversed bytes, so the stream cipher is
// OpenSSL's two-key triple DES (deciphering) on bit-reversed bytes.
uint8_t Reverse(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}

std::string Reversed(std::string s) {
  for (char& c : s) c = static_cast<char>(Reverse(static_cast<uint8_t>(c)));
  return s;
}

TEST(CipherOpenSslTest, DesOnReversedBitsMatches) {
  std::mt19937 random(3);
  for (int round = 0; round < 200; ++round) {
    const std::string key = RandomBytes(random, 8), block = RandomBytes(random, 8);
    DES_cblock k;
    DES_key_schedule schedule;
    const std::string rk = Reversed(key);
    std::copy(rk.begin(), rk.end(), k);
    DES_set_key_unchecked(&k, &schedule);
    const std::string rb = Reversed(block);
    DES_cblock in, out;
    std::copy(rb.begin(), rb.end(), in);
    DES_ecb_encrypt(&in, &out, &schedule, DES_ENCRYPT);
    uint8_t ours[8];
    Des(U(key)).EncryptBlock(U(block), ours);
    ASSERT_EQ(std::string(reinterpret_cast<char*>(ours), 8), Reversed(std::string(reinterpret_cast<char*>(out), 8)));
  }
}

TEST(CipherOpenSslTest, StreamCipherIsTripleDesOnReversedBits) {
  std::mt19937 random(5);
  for (int round = 0; round < 50; ++round) {
    const std::string key = RandomBytes(random, 16);
    const std::string data = RandomBytes(random, 8 * (1 + round % 8));
    DES_cblock k1, k2;
    DES_key_schedule s1, s2;
    const std::string rk = Reversed(key);
    std::copy(rk.begin(), rk.begin() + 8, k1);
    std::copy(rk.begin() + 8, rk.end(), k2);
    DES_set_key_unchecked(&k1, &s1);
    DES_set_key_unchecked(&k2, &s2);
    const std::string rd = Reversed(data);
    std::string expected;
    for (size_t at = 0; at < rd.size(); at += 8) {
      DES_cblock in, out;
      std::copy(rd.begin() + at, rd.begin() + at + 8, in);
      DES_ecb3_encrypt(&in, &out, &s1, &s2, &s1, DES_DECRYPT);
      expected.append(reinterpret_cast<char*>(out), 8);
    }
    ASSERT_EQ(StreamDecipher(data, U(key)), Reversed(expected));
    ASSERT_EQ(StreamEncipher(StreamDecipher(data, U(key)), U(key)), data);
  }
}

}  // namespace
}  // namespace kavrel
