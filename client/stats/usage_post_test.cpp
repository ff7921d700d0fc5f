#include "client/stats/usage_post.h"

#include <gtest/gtest.h>

#include "client/stats/post_decoder_for_tests.h"
#include "client/stats/stats_test_support.h"

namespace kavrel {
namespace {

TEST(UsagePostTest, Base64OfTheStandardVectors) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"", ""},          {"f", "Zg=="},         {"fo", "Zm8="},
               {"foo", "Zm9v"},   {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
               {"foobar", "Zm9vYmFy"}, {"\xFB\xFF", "+/8="}};
  for (const auto& c : cases) {
    EXPECT_EQ(Base64Encode(c.in), c.out) << c.in;
    std::string back;
    ASSERT_TRUE(Base64Decode(c.out, back));
    EXPECT_EQ(back, c.in);
  }
}

// "~~~~~" encodes as "fn5+fn4=": the "+" travels as "-" and then, like the
// padding, as a percent escape.
TEST(UsagePostTest, PlusAndPaddingArriveEscaped) {
  EXPECT_EQ(EncodePostBody(u"~~~~~"), "mes=fn5%2Dfn4%3D");
  EXPECT_EQ(EncodePostBody(u""), "mes=");
}

// Only digits, letters, "/" and "." pass unescaped.
TEST(UsagePostTest, BodyHoldsOnlyTheSafeCharacters) {
  const std::string body = EncodePostBody(u"{\"채널\"}^^?>>?~~~ \xFF\xFE");
  for (std::size_t i = 4; i < body.size(); ++i) {
    const char c = body[i];
    const bool safe = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                      (c >= 'A' && c <= 'Z') || c == '/' || c == '.' || c == '%';
    EXPECT_TRUE(safe) << "byte " << i << " of " << body;
  }
}

// What the server decodes is what the records were, Korean and separators
// included.
TEST(UsagePostTest, DecodingUndoesTheEncoding) {
  const std::vector<Text> records = {u"{{\"PC\"},{\"00006\"}}", u"{\"한국어 채널 😀\"}",
                                     u"{\"02008\",{\"240007\",\"3\"}}"};
  std::vector<Text> decoded;
  ASSERT_TRUE(DecodePostBody(EncodePostBody(JoinRecords(records, records.size())), decoded));
  EXPECT_EQ(U8(decoded), U8(records));

  ASSERT_TRUE(DecodePostBody(EncodePostBody(JoinRecords(records, 2)), decoded));
  EXPECT_EQ(decoded.size(), 2u);

  EXPECT_FALSE(DecodePostBody("mes=%ZZ", decoded));
  EXPECT_FALSE(DecodePostBody("mes=abc", decoded));
  EXPECT_FALSE(DecodePostBody("data=Zm9v", decoded));
}

// The batch of a post: the oldest records whose joined UTF-8 form fits,
// separators and multi-byte characters counted in bytes.
TEST(UsagePostTest, OldestRecordsThatFit) {
  const std::vector<Text> fourAndSix = {u"aaaa", u"bbbbbb", u"c"};
  const struct {
    std::size_t limit;
    std::size_t expected;
  } cases[] = {
      {100, 3},  // everything: 4 + 2 + 6 + 2 + 1 = 15 bytes
      {15, 3},   // exactly at the limit
      {14, 2},   // the last record would pass it
      {12, 2},
      {11, 1},   // the second record with its separator needs 8 more bytes
      {2, 1},    // a record over the limit still goes, alone
  };
  for (const auto& c : cases)
    EXPECT_EQ(CountRecordsThatFit(fourAndSix, c.limit), c.expected) << c.limit;

  // "한" is three bytes of UTF-8.
  EXPECT_EQ(CountRecordsThatFit({u"한한", u"한"}, 8), 1u);
  EXPECT_EQ(CountRecordsThatFit({u"한한", u"한"}, 11), 2u);
  EXPECT_EQ(CountRecordsThatFit({}, 10), 0u);
}

}  // namespace
}  // namespace kavrel
