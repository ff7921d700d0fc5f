#include "common/platform/cookie_jar.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(CookieDateTest, ReadsBothSpacingsAndRejectsOthers) {
  struct Case {
    const char16_t* text;
    bool ok;
    std::int64_t seconds;
  } cases[] = {
      {u"Sun, 22 Feb 2099 08:08:08 GMT", true, 4075430888},
      {u"Sun,22Feb2099 08:08:08 GMT", true, 4075430888},
      {u"Thu, 01-Jan-1970 00:00:00 GMT", true, 0},
      {u"Sun,22Feb1900 08:08:08 GMT", true, -2204466712},
      {u"Sun,22Foo2099 08:08:08 GMT", false, 0},
      {u"Sun,22Feb2099", false, 0},
      {u"", false, 0},
  };
  for (const Case& c : cases) {
    std::int64_t seconds = 0;
    EXPECT_EQ(ParseCookieDate(c.text, seconds), c.ok) << TextToUtf8(c.text);
    if (c.ok) {
      EXPECT_EQ(seconds, c.seconds) << TextToUtf8(c.text);
    }
  }
}

TEST(CookieJarTest, KeysByHostAndName) {
  CookieJar jar;
  const std::int64_t now = 1700000000;
  EXPECT_TRUE(jar.Set(u"http://Shop.Example:8080/store/page", u"a", u"1", now));
  EXPECT_TRUE(jar.Set(u"http://shop.example/", u"b", u"2 ; path=/", now));
  EXPECT_EQ(jar.Get(u"http://shop.example/other"), u"a=1; b=2");
  // An unreadable expiry keeps the cookie for the session.
  EXPECT_TRUE(jar.Set(u"http://shop.example/", u"a", u"3;expires=soon", now));
  EXPECT_EQ(jar.Get(u"http://shop.example/"), u"a=3; b=2");
  EXPECT_TRUE(jar.Set(u"http://shop.example/", u"a", u";expires=Thu, 01 Jan 1970 00:00:00 GMT", now));
  EXPECT_EQ(jar.Get(u"http://shop.example/"), u"b=2");
  EXPECT_FALSE(jar.Set(u"", u"a", u"1", now));
  EXPECT_FALSE(jar.Set(u"http://shop.example/", u"", u"1", now));
}

}  // namespace
}  // namespace kavrel
