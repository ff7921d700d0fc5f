#include "tools/service-emulator/stats_decoding.h"

#include <gtest/gtest.h>

namespace kavrel::emulator {
namespace {

// The reporter's wire encoding, built by hand: Base64, "+" to "-", then
// percent escapes for everything but 0-9, a-z, A-Z, "/" and ".".
std::string EncodeLikeTheReporter(const std::string& utf8) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string b64;
  for (size_t i = 0; i < utf8.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(utf8[i]) << 16;
    if (i + 1 < utf8.size()) v |= static_cast<unsigned char>(utf8[i + 1]) << 8;
    if (i + 2 < utf8.size()) v |= static_cast<unsigned char>(utf8[i + 2]);
    b64 += kAlphabet[(v >> 18) & 63];
    b64 += kAlphabet[(v >> 12) & 63];
    b64 += i + 1 < utf8.size() ? kAlphabet[(v >> 6) & 63] : '=';
    b64 += i + 2 < utf8.size() ? kAlphabet[v & 63] : '=';
  }
  std::string out;
  for (char c : b64) {
    if (c == '+') c = '-';
    if (isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.') {
      out += c;
    } else {
      char esc[4];
      snprintf(esc, sizeof esc, "%%%02X", static_cast<unsigned char>(c));
      out += esc;
    }
  }
  return "mes=" + out;
}

TEST(StatsDecoding, DecodesAHandBuiltPostIntoItsRecords) {
  const std::string first =
      R"({{"PC","00-1A-2B-3C-4D-5E","windows","","zh_CN","2026-12-11 10:00:00","1"},{"00006",{"240007","1.5.0.5","ko"}}})";
  // Korean names make bytes whose Base64 holds "+" (">>" and "~~" do too).
  const std::string second = "{\"02011\",{\"0\",\"240007\",\"1017\",\"뉴스 채널 >>~~?\"}}";
  std::string body = EncodeLikeTheReporter(first + "^^" + second + "^^x");
  ASSERT_NE(body.find("%2D"), std::string::npos) << "the case must exercise the \"-\" step";
  ASSERT_NE(body.find("%3D"), std::string::npos) << "the case must exercise padding";

  std::string error;
  auto records = DecodeCollected(body, &error);
  ASSERT_TRUE(records) << error;
  EXPECT_EQ(*records, (std::vector<std::string>{first, second, "x"}));
}

TEST(StatsDecoding, FindsTheFieldAmongOthersAndAcceptsAnEmptyMessage) {
  std::string error;
  auto records = DecodeCollected("a=1&" + EncodeLikeTheReporter("r1^^r2") + "&b=2", &error);
  ASSERT_TRUE(records) << error;
  EXPECT_EQ(*records, (std::vector<std::string>{"r1", "r2"}));
  auto none = DecodeCollected("mes=", &error);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
}

TEST(StatsDecoding, RejectsBrokenPosts) {
  const struct {
    const char* body;
    const char* why;
  } kCases[] = {
      {"", "no field"},
      {"message=YWJj", "no mes field"},
      {"mes=YWJ", "Base64 of a bad length"},
      {"mes=YW*j", "a character outside the alphabet"},
      {"mes=YQ%3D%3DYWJj", "data after the padding"},
      {"mes=%2F%2F%2F%2F", "bytes that are not UTF-8"},
      {"mes=7aCA", "an encoded surrogate"},
      {"mes=4oI%3D", "a UTF-8 sequence cut off"},
  };
  for (const auto& c : kCases) {
    std::string error;
    EXPECT_FALSE(DecodeCollected(c.body, &error)) << c.why;
    EXPECT_FALSE(error.empty()) << c.why;
  }
}

TEST(StatsDecoding, PercentDecodingKeepsBrokenEscapesAndPlus) {
  EXPECT_EQ(PercentDecode("a%2Db%2fc+d"), "a-b/c+d");
  EXPECT_EQ(PercentDecode("100%"), "100%");
  EXPECT_EQ(PercentDecode("%G1%4"), "%G1%4");
  bool ok = false;
  EXPECT_EQ(Base64Decode("SGk=\r\n", &ok), "Hi");
  EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace kavrel::emulator
