#include "ui/attributes.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(UiAttributes, IntegersReadWholeTextOrNothing) {
  struct Case { const char16_t* text; bool ok; int value; };
  const Case cases[] = {
      {u"12", true, 12},   {u" -7 ", true, -7}, {u"+3", true, 3},     {u"1000000", true, 1000000},
      {u"", false, 0},     {u"-", false, 0},    {u"12px", false, 0},  {u"1.5", false, 0},
      {u"99999999999999999999", false, 0},      {u"1000001", false, 0},
  };
  for (const Case& c : cases) {
    int v = 42;
    EXPECT_EQ(ParseUiInt(c.text, &v), c.ok) << TextToUtf8(c.text);
    EXPECT_EQ(v, c.ok ? c.value : 42) << TextToUtf8(c.text);
  }
}

TEST(UiAttributes, RectsSizesAndBooleans) {
  UiRect r{9, 9, 9, 9};
  EXPECT_TRUE(ParseUiRect(u"1, 2,3 ,4", &r));
  EXPECT_EQ(r, (UiRect{1, 2, 3, 4}));
  for (const char16_t* bad : {u"1,2,3", u"1,2,3,4,5", u"1,,3,4", u"a,b,c,d", u""}) {
    EXPECT_FALSE(ParseUiRect(bad, &r)) << TextToUtf8(bad);
  }
  EXPECT_EQ(r, (UiRect{1, 2, 3, 4}));

  UiSize s;
  EXPECT_TRUE(ParseUiSize(u"936,529", &s));
  EXPECT_EQ(s, (UiSize{936, 529}));
  EXPECT_FALSE(ParseUiSize(u"936", &s));

  bool b = false;
  EXPECT_TRUE(ParseUiBool(u"TRUE", &b));
  EXPECT_TRUE(b);
  EXPECT_TRUE(ParseUiBool(u"0", &b));
  EXPECT_FALSE(b);
  EXPECT_FALSE(ParseUiBool(u"yes", &b));
}

TEST(UiAttributes, Colours) {
  struct Case { const char16_t* text; bool ok; UiColor value; };
  const Case cases[] = {
      {u"#FF102030", true, 0xFF102030u}, {u"#102030", true, 0xFF102030u}, {u"0x80aabbcc", true, 0x80AABBCCu},
      {u"00000000", true, 0u},           {u"#12345", false, 0},          {u"#GG112233", false, 0},
  };
  for (const Case& c : cases) {
    UiColor v = 7;
    EXPECT_EQ(ParseUiColor(c.text, &v), c.ok) << TextToUtf8(c.text);
    EXPECT_EQ(v, c.ok ? c.value : 7u) << TextToUtf8(c.text);
  }
}

TEST(UiAttributes, Images) {
  UiImage i;
  ASSERT_TRUE(ParseUiImage(u"caption.png", &i));
  EXPECT_EQ(i.file, u"caption.png");
  EXPECT_TRUE(i.source.IsEmpty());

  ASSERT_TRUE(ParseUiImage(u"file='btn.png' source='0,0,20,18' corner=\"2,2,2,2\"", &i));
  EXPECT_EQ(i.file, u"btn.png");
  EXPECT_EQ(i.source, (UiRect{0, 0, 20, 18}));
  EXPECT_EQ(i.corner, (UiRect{2, 2, 2, 2}));

  // A broken list leaves the previous picture as it was.
  for (const char16_t* bad : {u"file='a.png' source='1,2'", u"file='a.png", u"source='0,0,1,1'", u"  "}) {
    EXPECT_FALSE(ParseUiImage(bad, &i)) << TextToUtf8(bad);
  }
  EXPECT_EQ(i.file, u"btn.png");
}

}  // namespace
}  // namespace kavrel
