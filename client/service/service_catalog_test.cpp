#include "client/service/service_catalog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "client/service/service_messages.h"
#include "client/service/service_test_support.h"
#include "common/platform/message_target.h"

namespace kavrel {
namespace {

const char kAuthorised[] = "<auth><result>1</result><uuid>U1</uuid></auth>";

// One group of three channels (one with its children out of order), a group
// without a name, a second group repeating a channel, and an empty group.
const char kCatalogue[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<groups>\r\n"
    " <group name=\"News\" id=\"g1\" isGroup=\"1\" classifyCode=\"c1\">\r\n"
    "  <channel><id>10</id><resId>r1</resId><code>K1</code><name>One</name>"
    "<status>1</status><isCharge>0</isCharge></channel>\r\n"
    "  <channel><id>11</id><code>K2</code><resId>r2</resId><name>Disordered</name>"
    "<status>1</status><isCharge>0</isCharge></channel>\r\n"
    "  <channel><id>12</id><resId>r3</resId><code>K3</code><name>Paid</name>"
    "<status>2</status><isCharge>1</isCharge></channel>\r\n"
    " </group>\r\n"
    " <group name=\"\" id=\"g2\" classifyCode=\"c2\">\r\n"
    "  <channel><id>20</id><resId>r</resId><code>K</code><name>Hidden</name>"
    "<status>1</status><isCharge>0</isCharge></channel>\r\n"
    " </group>\r\n"
    " <group name=\"Sport\" id=\"g3\" isGroup=\"x\" classifyCode=\"c3\">\r\n"
    "  <channel><id>10</id><resId>r1</resId><code>K1</code><name>One</name>"
    "<status>1</status><isCharge>0</isCharge></channel>\r\n"
    " </group>\r\n"
    " <group name=\"Empty\" id=\"g4\" classifyCode=\"c4\"/>\r\n"
    "</groups>\r\n";

std::string OneChannelCatalogue(const std::string& id, const std::string& name) {
  return "<groups><group name=\"G\" id=\"g\" isGroup=\"0\" classifyCode=\"c\"><channel><id>" + id +
         "</id><resId>r</resId><code>k</code><name>" + name +
         "</name><status>1</status><isCharge>0</isCharge></channel></group></groups>";
}

class ServiceCatalogTest : public ServiceTest {
 protected:
  ServiceCatalogTest() : catalog(settings()) {
    catalog.SetAckSource([] { return 42u; });
  }

  // Every address the tests use answers the handshake and the catalogue.
  void ServeAll(const Text& server, const std::string& catalogue = kCatalogue) {
    http.Answer(server + u"/pcAuth.action", kAuthorised);
    http.Answer(server + u"/pcTv.action", catalogue);
  }

  std::size_t HandshakesTo(const Text& server) {
    return http.RequestedUrls(server + u"/pcAuth.action").size();
  }

  ServiceCatalog catalog;
};

TEST(HandshakeAckTest, IsTwentyEightLowercaseHexDigits) {
  EXPECT_EQ(HandshakeAck(42), u"0000002a0001000000000000002b");
  EXPECT_EQ(HandshakeAck(254), u"000000fe000100000000000000ff");
  EXPECT_EQ(HandshakeAck(0), u"000000000001" u"0000000000000001");
}

// The start-up load: handshake with the acknowledgement, then the catalogue
// with the issued uuid; a second handshake needs no request.
TEST_F(ServiceCatalogTest, InitHandshakesAndLoads) {
  ServeAll(u"http://a");
  catalog.Init(nullptr, WM_CATALOGUE_READY, {u"http://a"});
  EXPECT_EQ(catalog.catalogResult(), 1);
  EXPECT_EQ(catalog.uuid(), u"U1");
  EXPECT_EQ(catalog.currentServer(), u"http://a");
  EXPECT_EQ(http.RequestedUrls(),
            (std::vector<Text>{u"http://a/pcAuth.action?terminal=2&ack=0000002a0001000000000000002b",
                               u"http://a/pcTv.action?terminal=2&uuid=U1"}));
  EXPECT_TRUE(catalog.AuthorizeDevice());
  EXPECT_EQ(HandshakesTo(u"http://a"), 1u);
}

TEST_F(ServiceCatalogTest, OneServerIsTakenAgainAfterAFailure) {
  http.Fail(u"http://a/pcAuth.action");
  http.Answer(u"http://a/pcAuth.action", kAuthorised);
  http.Answer(u"http://a/pcTv.action", kCatalogue);
  catalog.Init(nullptr, 0, {u"http://a"});
  EXPECT_EQ(catalog.catalogResult(), 0);
  EXPECT_EQ(catalog.currentServer(), u"");
  EXPECT_EQ(catalog.serverIndex(), 1u);

  EXPECT_TRUE(catalog.LoadCatalog());
  EXPECT_EQ(catalog.currentServer(), u"http://a");
  EXPECT_EQ(catalog.serverIndex(), 0u);
  EXPECT_EQ(HandshakesTo(u"http://a"), 2u);
}

// Three servers with the first down: the next attempt uses the second; a
// catalogue failure there moves on, and a failure on the third wraps.
TEST_F(ServiceCatalogTest, RotationOverThreeServers) {
  http.Fail(u"http://a/");
  ServeAll(u"http://b");
  http.Answer(u"http://c/pcAuth.action", kAuthorised);
  http.Fail(u"http://c/pcTv.action");
  catalog.Init(nullptr, 0, {u"http://a", u"http://b", u"http://c"});
  EXPECT_EQ(catalog.catalogResult(), 0);
  EXPECT_EQ(catalog.serverIndex(), 1u);

  EXPECT_TRUE(catalog.LoadCatalog());
  EXPECT_EQ(catalog.currentServer(), u"http://b");

  // A transport failure of the catalogue request on b rotates to c, whose
  // catalogue fails too, and the selection after that is a again.
  http.Forget(u"http://b/pcTv.action");
  http.Fail(u"http://b/pcTv.action");
  EXPECT_FALSE(catalog.LoadCatalog());
  EXPECT_EQ(catalog.serverIndex(), 2u);
  EXPECT_FALSE(catalog.LoadCatalog());
  EXPECT_EQ(catalog.serverIndex(), 3u);
  EXPECT_EQ(catalog.currentServer(), u"");
  http.ClearRecords();
  EXPECT_FALSE(catalog.LoadCatalog());
  EXPECT_EQ(catalog.serverIndex(), 1u);  // a failed again and moved on
  EXPECT_EQ(http.RequestedUrls().front(), u"http://a/pcTv.action?terminal=2&uuid=U1");
  // The previous catalogue is still in place after all the failures.
  EXPECT_EQ(catalog.ChannelName(u"10r1"), u"One");
}

// Answers that arrive but report no success never rotate; an error page
// without a result is judged by the result before it.
TEST_F(ServiceCatalogTest, HandshakeAnswersThatArriveDoNotRotate) {
  struct Step {
    const char* answer;
    bool authorised;
    int authResult;
    const char16_t* uuid;
  } steps[] = {
      {"<auth><result>0</result></auth>", false, 0, u""},
      {"<html><body>Service unavailable</body></html>", false, 0, u""},
      {"<auth><result>1</result></auth>", true, 1, u""},  // no uuid: asks again next time
      {"<html><body>Service unavailable</body></html>", true, 1, u""},
      {"<auth><result>one</result><uuid>U7</uuid></auth>", false, 0, u"U7"},
  };
  catalog.Init(nullptr, 0, {u"http://a"});
  for (const Step& s : steps) {
    SCOPED_TRACE(s.answer);
    http.Forget(u"http://a/pcAuth.action");
    http.Answer(u"http://a/pcAuth.action", s.answer);
    http.ClearRecords();
    EXPECT_EQ(catalog.AuthorizeDevice(), s.authorised);
    EXPECT_EQ(http.Requests().size(), 1u);
    EXPECT_EQ(catalog.authResult(), s.authResult);
    EXPECT_EQ(catalog.uuid(), s.uuid);
    EXPECT_EQ(catalog.currentServer(), u"http://a");
    EXPECT_EQ(catalog.serverIndex(), 0u);
  }
}

TEST_F(ServiceCatalogTest, RefusedDeviceStaysRefusedUntilInit) {
  http.Answer(u"http://a/pcAuth.action", "<auth><result>2</result></auth>");
  catalog.Init(nullptr, 0, {u"http://a"});
  EXPECT_EQ(catalog.authResult(), 2);
  EXPECT_FALSE(catalog.AuthorizeDevice());
  EXPECT_FALSE(catalog.LoadCatalog());
  EXPECT_EQ(HandshakesTo(u"http://a"), 1u);

  catalog.Init(nullptr, 0, {u"http://a"});
  EXPECT_EQ(HandshakesTo(u"http://a"), 2u);
}

TEST_F(ServiceCatalogTest, NoServerMeansNoRequest) {
  catalog.Init(nullptr, 0, {});
  EXPECT_FALSE(catalog.AuthorizeDevice());
  EXPECT_FALSE(catalog.LoadCatalog());
  EXPECT_TRUE(http.Requests().empty());
  EXPECT_EQ(catalog.PlayerAuthBase(), u"");
}

TEST_F(ServiceCatalogTest, CatalogueRecordsAndQueries) {
  ServeAll(u"http://a");
  catalog.Init(nullptr, 0, {u"http://a"});
  ASSERT_EQ(catalog.catalogResult(), 1);

  const auto groups = catalog.Groups();
  ASSERT_EQ(groups.size(), 3u);  // the nameless group is skipped
  EXPECT_EQ(groups[0]->id, u"g1");
  EXPECT_EQ(groups[0]->isGroup, 1);
  EXPECT_EQ(groups[1]->id, u"g3");
  EXPECT_EQ(groups[1]->isGroup, 0);
  EXPECT_EQ(groups[2]->name, u"Empty");

  const auto news = catalog.ChannelsOfGroup(u"g1");
  ASSERT_EQ(news.size(), 2u);  // the channel with its children out of order is dropped
  EXPECT_EQ(news[0]->key, u"10r1");
  EXPECT_EQ(news[0]->classifyCode, u"c1");
  EXPECT_EQ(news[1]->key, u"12r3");
  EXPECT_EQ(news[1]->status, u"2");
  EXPECT_EQ(news[1]->isCharge, 1);
  EXPECT_EQ(news[1]->code, u"K3");
  EXPECT_EQ(catalog.ChannelsOfGroup(u"g3").size(), 1u);
  EXPECT_TRUE(catalog.ChannelsOfGroup(u"g2").empty());
  EXPECT_TRUE(catalog.ChannelsOfGroup(u"G1").empty());

  EXPECT_EQ(catalog.FindChannel(u"10r1")->groupId, u"g1");   // the first
  EXPECT_EQ(catalog.GroupOfChannel(u"10r1")->id, u"g3");     // of the last
  EXPECT_EQ(catalog.FindChannel(u"11r2"), nullptr);
  EXPECT_EQ(catalog.ChannelName(u"nothing"), u"");
  EXPECT_EQ(catalog.GroupOfChannel(u"nothing"), nullptr);

  const auto all = catalog.AllChannels();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]->name, u"One");
  EXPECT_EQ(all[1]->name, u"Paid");
}

// AllChannels keeps the first record seen for each name across reloads and
// adds new names; a reload without groups changes nothing, one with groups
// but no complete channel replaces the groups and reports failure.
TEST_F(ServiceCatalogTest, ReloadsReplaceListsButAllChannelsOnlyGrows) {
  ServeAll(u"http://a", OneChannelCatalogue("1", "Alpha"));
  catalog.Init(nullptr, 0, {u"http://a"});
  const auto first = catalog.AllChannels();
  ASSERT_EQ(first.size(), 1u);

  http.Forget(u"http://a/pcTv.action");
  http.Answer(u"http://a/pcTv.action", OneChannelCatalogue("1", "Alpha"));
  ASSERT_TRUE(catalog.LoadCatalog());
  const auto same = catalog.AllChannels();
  ASSERT_EQ(same.size(), 1u);
  EXPECT_EQ(same[0], first[0]);

  http.Forget(u"http://a/pcTv.action");
  http.Answer(u"http://a/pcTv.action", OneChannelCatalogue("2", "Beta"));
  ASSERT_TRUE(catalog.LoadCatalog());
  const auto grown = catalog.AllChannels();
  ASSERT_EQ(grown.size(), 2u);
  EXPECT_EQ(grown[0], first[0]);
  EXPECT_EQ(grown[1]->name, u"Beta");
  EXPECT_EQ(catalog.FindChannel(u"1r"), nullptr);

  http.Forget(u"http://a/pcTv.action");
  http.Answer(u"http://a/pcTv.action", "<html>maintenance</html>");
  EXPECT_FALSE(catalog.LoadCatalog());
  EXPECT_EQ(catalog.catalogResult(), 0);
  EXPECT_EQ(catalog.ChannelName(u"2r"), u"Beta");

  http.Forget(u"http://a/pcTv.action");
  http.Answer(u"http://a/pcTv.action",
              "<groups><group name=\"N\" id=\"n\"><channel><id>3</id></channel></group></groups>");
  EXPECT_FALSE(catalog.LoadCatalog());
  ASSERT_EQ(catalog.Groups().size(), 1u);
  EXPECT_EQ(catalog.Groups()[0]->id, u"n");
  EXPECT_EQ(catalog.ChannelName(u"2r"), u"");
  EXPECT_EQ(catalog.AllChannels().size(), 2u);
}

// A background reload posts the message whatever its outcome, while the
// UI thread keeps querying.
TEST_F(ServiceCatalogTest, StartReloadPostsWhenDone) {
  RecordingMessageTarget window;
  ServeAll(u"http://a");
  catalog.Init(&window, WM_CATALOGUE_READY, {u"http://a"});
  EXPECT_TRUE(window.Messages().empty());

  http.Forget(u"http://a/pcTv.action");
  http.Fail(u"http://a/pcTv.action");
  catalog.StartReload();
  catalog.StartReload();
  for (int i = 0; i < 2000 && window.Messages().size() < 2; ++i) {
    EXPECT_EQ(catalog.ChannelName(u"12r3"), u"Paid");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(window.Messages(),
            (std::vector<RecordingMessageTarget::Message>{{WM_CATALOGUE_READY, 0, 0, false},
                                                          {WM_CATALOGUE_READY, 0, 0, false}}));
  EXPECT_EQ(catalog.ChannelName(u"12r3"), u"Paid");
}

TEST_F(ServiceCatalogTest, PlayerAuthBaseFollowsTheServerInUse) {
  ASSERT_NE(settings().WriteValue(u"UerSetMeal", u"http://pa/<EOF><EOF>http://pc/<EOF>", false), 0);
  http.Fail(u"http://a/");
  http.Fail(u"http://b/");
  http.Fail(u"http://c/");
  catalog.Init(nullptr, 0, {u"http://a", u"http://b", u"http://c"});
  EXPECT_EQ(catalog.PlayerAuthBase(), u"");  // index 1: the empty entry
  catalog.LoadCatalog();
  EXPECT_EQ(catalog.PlayerAuthBase(), u"http://pc/");
  catalog.LoadCatalog();  // past the third entry until the next selection
  EXPECT_EQ(catalog.PlayerAuthBase(), u"");
  catalog.LoadCatalog();
  EXPECT_EQ(catalog.serverIndex(), 1u);
  http.Forget(u"http://a/");
  ServeAll(u"http://a");
  http.Forget(u"http://b/");
  ServeAll(u"http://b");
  EXPECT_TRUE(catalog.LoadCatalog());
  EXPECT_EQ(catalog.PlayerAuthBase(), u"");
}

}  // namespace
}  // namespace kavrel
