#include "common/platform/text.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(Utf8Test, RoundTripsEveryPlane) {
  const Text samples[] = {u"", u"plain ascii", u"Grüße", u"한국어 채널", u"日本語",
                          u"emoji 😀 and 𝄞 clef", Text(1, u'\0') + u"after nul"};
  for (const Text& s : samples) EXPECT_EQ(Utf8ToText(TextToUtf8(s)), s);
  // Above U+FFFF a character is one surrogate pair in UTF-16, four bytes in UTF-8.
  const Text grin = Utf8ToText("\xF0\x9F\x98\x80");
  ASSERT_EQ(grin.size(), 2u);
  EXPECT_EQ(grin[0], 0xD83D);
  EXPECT_EQ(grin[1], 0xDE00);
  EXPECT_EQ(TextToUtf8(grin), "\xF0\x9F\x98\x80");
}

TEST(Utf8Test, InvalidBytesBecomeReplacementCharacters) {
  struct Case {
    std::string bytes;
    Text expected;
  } cases[] = {
      {"a\xFFz", u"a\uFFFDz"},              // never valid
      {"\xC0\xAF", u"\uFFFD\uFFFD"},        // overlong '/'
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {"ab\xE2\x82", u"ab\uFFFD"},          // cut off at the end
      {"\xE2\x82x", u"\uFFFDx"},            // cut off before a normal byte
      {"\x80\x80", u"\uFFFD\uFFFD"},        // stray continuation bytes
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToText(c.bytes), c.expected);
}

TEST(Utf8Test, LoneSurrogatesAreReplacedWhenEncoding) {
  EXPECT_EQ(TextToUtf8(Text(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(TextToUtf8(Text(1, u'\xDC00')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace kavrel
