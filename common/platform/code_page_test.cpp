#include "common/platform/code_page.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

struct Sample {
  unsigned codePage;
  std::string bytes;
  Text text;
};

// Known encodings of the same words, checked both ways.
const Sample kSamples[] = {
    {65001, "\xEC\xB1\x84\xEB\x84\x90 TV", u"채널 TV"},
    {949, "\xC3\xA4\xB3\xCE TV", u"채널 TV"},
    {51949, "\xC3\xA4\xB3\xCE TV", u"채널 TV"},
    {1252, "Gr\xFC\xDF" "e \x80", u"Grüße €"},
    {1200, std::string("A\0\x5C\xD5", 4), u"A한"},
    {1201, std::string("\0A\xD5\x5C", 4), u"A한"},
};

TEST(CodePageTest, ConvertsKnownSamplesBothWays) {
  for (const auto& s : kSamples) {
    ASSERT_TRUE(IsCodePageSupported(s.codePage)) << s.codePage;
    EXPECT_EQ(BytesToText(s.bytes, s.codePage), s.text) << s.codePage;
    EXPECT_EQ(TextToBytes(s.text, s.codePage), s.bytes) << s.codePage;
  }
}

TEST(CodePageTest, RoundTripsKoreanThroughBothKoreanCodePages) {
  // The Hangul syllables EUC-KR has (KS X 1001), a representative slice.
  const Text korean = u"가각간갇갈감갑값강갖같갚갛개객갠갤갬갭 서울 방송 드라마 뉴스";
  for (unsigned cp : {949u, 51949u}) {
    const std::string bytes = TextToBytes(korean, cp);
    EXPECT_EQ(bytes.size(), 2 * 28 + 4) << cp;  // two bytes a syllable, one a blank
    EXPECT_EQ(BytesToText(bytes, cp), korean) << cp;
  }
  // 949 also has the syllables EUC-KR lacks.
  EXPECT_EQ(BytesToText(TextToBytes(u"똠방각하", 949), 949), u"똠방각하");
}

TEST(CodePageTest, SurrogatePairsSurviveUtf8AndUtf16) {
  const Text music = u"𝄞 clef";
  for (unsigned cp : {65001u, 1200u, 1201u}) EXPECT_EQ(BytesToText(TextToBytes(music, cp), cp), music);
}

TEST(CodePageTest, InvalidAndUnknownInputIsHarmless) {
  // A lead byte with no trail byte: no crash, no characters invented from the
  // bytes that follow, and the plain text around it survives.
  const Text cut = BytesToText("ab\xC3", 949);
  ASSERT_GE(cut.size(), 2u);
  EXPECT_EQ(cut.substr(0, 2), u"ab");
  EXPECT_EQ(BytesToText("\xFF\xFF", 65001), u"\uFFFD\uFFFD");
  // Characters the code page lacks become '?'.
  EXPECT_EQ(TextToBytes(u"a한b", 1252), "a?b");
  // An unknown code page converts nothing.
  EXPECT_FALSE(IsCodePageSupported(12345));
  EXPECT_EQ(BytesToText("abc", 12345), u"");
  EXPECT_EQ(TextToBytes(u"abc", 12345), "");
  EXPECT_EQ(BytesToText("", 949), u"");
}

TEST(CodePageTest, AnsiCodePageIsAProcessSettingOnLinux) {
#ifdef _WIN32
  EXPECT_FALSE(SetAnsiCodePage(949));
  EXPECT_EQ(BytesToText("abc", kCodePageAnsi), u"abc");
#else
  const unsigned before = AnsiCodePage();
  ASSERT_TRUE(SetAnsiCodePage(949));
  EXPECT_EQ(BytesToText("\xC3\xA4\xB3\xCE", kCodePageAnsi), u"채널");
  EXPECT_EQ(TextToBytes(u"채널", kCodePageAnsi), "\xC3\xA4\xB3\xCE");
  EXPECT_FALSE(SetAnsiCodePage(12345));
  EXPECT_EQ(AnsiCodePage(), 949u);
  ASSERT_TRUE(SetAnsiCodePage(before));
#endif
}

}  // namespace
}  // namespace kavrel
