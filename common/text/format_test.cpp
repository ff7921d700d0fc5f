#include "common/text/format.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

struct FormatCase {
  const char16_t* format;
  Text expected;
  Text actual;
};

// Each row: a format, what C's printf prints for it, and what we printed.
TEST(FormatTest, MatchesPrintfForTheConversionsInUse) {
  const Text host = u"http://10.0.0.1:8080";
  const FormatCase cases[] = {
      {u"%s/pcTv.action?terminal=2&uuid=%s", u"http://10.0.0.1:8080/pcTv.action?terminal=2&uuid=u1",
       Format(u"%s/pcTv.action?terminal=2&uuid=%s", host, u"u1")},
      {u"%d", u"-42", Format(u"%d", -42)},
      {u"%i", u"7", Format(u"%i", 7)},
      {u"%04d", u"0042", Format(u"%04d", 42)},
      {u"%04d neg", u"-042 neg", Format(u"%04d neg", -42)},
      {u"%-5d|", u"42   |", Format(u"%-5d|", 42)},
      {u"%+d % d", u"+5  5", Format(u"%+d % d", 5, 5)},
      {u"%u", u"4294967295", Format(u"%u", -1)},
      {u"%u long long", u"18446744073709551615 long long", Format(u"%u long long", -1LL)},
      {u"%x", u"ffffffff", Format(u"%x", -1)},
      {u"%02X", u"0A", Format(u"%02X", 10)},
      {u"%02X wide", u"1FF wide", Format(u"%02X wide", 511)},
      {u"%.2X", u"0B", Format(u"%.2X", 11u)},
      {u"%0.8x", u"0000002a", Format(u"%0.8x", 42)},
      {u"%0.16x", u"000000000000002b", Format(u"%0.16x", 43)},
      {u"%#x", u"0xff", Format(u"%#x", 255)},
      {u"%o", u"17", Format(u"%o", 15)},
      {u"%.0d|", u"|", Format(u"%.0d|", 0)},
      {u"%c%c", u"OK", Format(u"%c%c", u'O', 75)},
      {u"%5s|%-5s|", u"   ab|ab   |", Format(u"%5s|%-5s|", u"ab", u"ab")},
      {u"%.3s", u"abc", Format(u"%.3s", u"abcdef")},
      {u"%*d", u"   42", Format(u"%*d", 5, 42)},
      {u"%-*d|", u"42   |", Format(u"%-*d|", 5, 42)},
      {u"%.*s", u"ab", Format(u"%.*s", 2, u"abcdef")},
      {u"100%%", u"100%", Format(u"100%%")},
      {u"%ld %lld %I64d %hs %ls", u"1 2 3 x y", Format(u"%ld %lld %I64d %hs %ls", 1L, 2LL, 3LL, u"x", u"y")},
      {u"%s unicode", u"채널 😀 unicode", Format(u"%s unicode", u"채널 😀")},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << "format: " << TextToUtf8(c.format);
}

// Language texts are data: a text whose conversions do not fit its arguments
// must still give a defined, harmless result.
TEST(FormatTest, MismatchedArgumentsAreHarmless) {
  const FormatCase cases[] = {
      {u"too few: %s and %d.", u"too few: a and .", Format(u"too few: %s and %d.", u"a")},
      {u"none: %s %s %d", u"none:   ", Format(u"none: %s %s %d")},
      {u"too many: %d", u"too many: 1", Format(u"too many: %d", 1, 2, u"three")},
      {u"write: %n!", u"write: %n!", Format(u"write: %n!", 5)},
      {u"pointer: %p %f", u"pointer: %p %f", Format(u"pointer: %p %f", 5, 6)},
      {u"int as text: %s", u"int as text: -7", Format(u"int as text: %s", -7)},
      {u"text as int: %05d", u"text as int:   abc", Format(u"text as int: %05d", u"abc")},
      {u"text as hex: %x", u"text as hex: zz", Format(u"text as hex: %x", u"zz")},
      {u"text as char: %c", u"text as char: q", Format(u"text as char: %c", u"qrs")},
      {u"trailing %", u"trailing %", Format(u"trailing %")},
      {u"trailing %-0", u"trailing %-0", Format(u"trailing %-0", 1)},
      {u"%*s with text width", u"x with text width", Format(u"%*s with text width", u"w", u"x")},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << "format: " << TextToUtf8(c.format);
}

TEST(FormatTest, HugeWidthsAndPrecisionsAreCapped) {
  EXPECT_EQ(Format(u"%999999999999d", 1).size(), static_cast<size_t>(kMaxFieldWidth));
  EXPECT_EQ(Format(u"%.999999999d", 1).size(), static_cast<size_t>(kMaxFieldWidth));
  EXPECT_EQ(Format(u"%*d", 2147483647, 1).size(), static_cast<size_t>(kMaxFieldWidth));
  EXPECT_EQ(Format(u"%*d", -2147483647 - 1, 1).size(), static_cast<size_t>(kMaxFieldWidth));
}

TEST(FormatTest, FormatTextKeepsAtMost1023Characters) {
  const Text exact(1023, u'a');
  EXPECT_EQ(FormatText(u"%s", exact), exact);
  const Text longer(5000, u'b');
  const Text cut = FormatText(u"x%sy", longer);
  ASSERT_EQ(cut.size(), kFormatTextMaxLength);
  EXPECT_EQ(cut.front(), u'x');
  EXPECT_EQ(cut.back(), u'b');
  // A surrogate pair is two characters, counted as such by the cap.
  EXPECT_EQ(FormatText(u"%s", Text(2000, u'\xD83D')).size(), kFormatTextMaxLength);
}

}  // namespace
}  // namespace kavrel
