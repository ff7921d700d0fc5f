#include "updater/version_order.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

// Versions order as text: the service relies on this, numbers do not count.
TEST(VersionOrderTest, ComparesAsFoldedText) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    int expected;
  } cases[] = {
      {u"1.5.0.10", u"1.5.0.9", -1},  // text order, not numeric
      {u"1.5.0.9", u"1.5.0.10", 1},
      {u"1.5", u"1.5.0", -1},         // a proper prefix is lower
      {u"1.5.0", u"1.5.0", 0},
      {u"1.5B", u"1.5a", 1},          // A-Z fold to a-z
      {u"1.5A", u"1.5a", 0},
      {u"", u"1.0", -1},
      {u"1.0", u"", 1},               // an empty server version is never higher
      {u"1.\u00C4", u"1.\u00E4", -1},  // only ASCII letters fold
  };
  for (const Case& c : cases) {
    const int got = CompareVersionText(c.a, c.b);
    EXPECT_EQ((got > 0) - (got < 0), c.expected) << TextToUtf8(c.a) << " vs " << TextToUtf8(c.b);
  }
  EXPECT_TRUE(IsVersionLower(u"1.0", u"1.1"));
  EXPECT_FALSE(IsVersionLower(u"1.1", u"1.1"));
}

}  // namespace
}  // namespace kavrel
