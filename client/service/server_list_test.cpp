#include "client/service/server_list.h"

#include <gtest/gtest.h>

#include "client/service/service_test_support.h"

namespace kavrel {
namespace {

TEST(ServerListTest, ParsesUpToThreeSeparatorEndedEntries) {
  struct Case {
    const char16_t* value;
    std::vector<Text> servers;
  } cases[] = {
      {u"A<EOF>B<EOF>C<EOF>", {u"A", u"B", u"C"}},
      {u"A<EOF>B", {u"A"}},
      {u"A<EOF><EOF>C<EOF>", {u"A"}},
      {u"A<EOF>B<EOF>C<EOF>D<EOF>", {u"A", u"B", u"C"}},
      {u"http://x:8080<EOF>", {u"http://x:8080"}},
      {u"", {}},
      {u"A", {}},
      {u"<EOF>A<EOF>", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseServerList(c.value), c.servers) << TextToUtf8(c.value);
}

TEST(ServerListTest, PlayerAuthEntryNeedsThreeSeparators) {
  const Text full = u"P0<EOF><EOF>P2<EOF>";
  EXPECT_EQ(PlayerAuthEntry(full, 0), u"P0");
  EXPECT_EQ(PlayerAuthEntry(full, 1), u"");
  EXPECT_EQ(PlayerAuthEntry(full, 2), u"P2");
  EXPECT_EQ(PlayerAuthEntry(full, 3), u"");
  EXPECT_EQ(PlayerAuthEntry(u"P0<EOF>P1<EOF>P2", 0), u"");
}

class ReadServerListTest : public ServiceTest {};

TEST_F(ReadServerListTest, ReadsTheEncipheredSetting) {
  ASSERT_NE(settings().WriteValue(u"ServerUrl", u"http://a<EOF>http://b<EOF>", false), 0);
  EXPECT_EQ(ReadServerList(settings()), (std::vector<Text>{u"http://a", u"http://b"}));
}

}  // namespace
}  // namespace kavrel
