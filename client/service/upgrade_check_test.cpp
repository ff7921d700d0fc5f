#include "client/service/upgrade_check.h"

#include <gtest/gtest.h>

#include "client/service/service_messages.h"
#include "client/service/service_test_support.h"
#include "common/platform/message_target.h"

namespace kavrel {
namespace {

using namespace std::chrono_literals;

TEST(UpgradeVersionTest, ComparesAsCaseBlindText) {
  struct Case {
    const char16_t* offered;
    bool newer;
  } cases[] = {
      {u"1.5.0.7", true},  {u"1.6.0.0", true},   {u"1.5.0.5", false}, {u"1.5.0.10", false},
      {u"", false},        {u"1.5.0.5a", true},  {u"1.5.0", false},   {u"1.5.0.4", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsNewerVersion(u"1.5.0.5", c.offered), c.newer) << TextToUtf8(c.offered);
  EXPECT_FALSE(IsNewerVersion(u"1.5.0.5B", u"1.5.0.5a"));
  EXPECT_TRUE(IsNewerVersion(u"1.5.0.5A", u"1.5.0.5b"));
}

class UpgradeCheckTest : public ServiceTest {
 protected:
  RecordingMessageTarget window;
};

// The answer decides: a newer version sends the message with its force
// flag, the same or a textually older one sends nothing.
TEST_F(UpgradeCheckTest, SendsOnlyForANewerVersion) {
  struct Case {
    const char* answer;
    bool sent;
    int force;
  } cases[] = {
      {"<result><version>1.5.0.7</version><upgradeMsg>New!</upgradeMsg>"
       "<forceUpgrade>1</forceUpgrade></result>", true, 1},
      {"<result><version>1.6.0.0</version><forceUpgrade>0</forceUpgrade></result>", true, 0},
      {"<result><version>1.5.0.5</version><forceUpgrade>1</forceUpgrade></result>", false, 1},
      {"<result><version>1.5.0.10</version></result>", false, 0},
      {"<html>error page</html>", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    window.Clear();
    http.Forget(u"http://a/pcUpgrade.action");
    http.Answer(u"http://a/pcUpgrade.action", c.answer);
    auto check = UpgradeCheck::Start(&window, u"http://a", u"1.5.0.5");
    ASSERT_TRUE(check->WaitUntilFinished(10s));
    EXPECT_EQ(check->NewerAvailable(), c.sent);
    EXPECT_EQ(check->ForceUpgrade(), c.force);
    if (c.sent)
      EXPECT_EQ(window.Messages(), (std::vector<RecordingMessageTarget::Message>{
                                       {WM_UPGRADE_RESULT, 0, c.force, true}}));
    else
      EXPECT_TRUE(window.Messages().empty());
  }
}

// Unreachable at first: the worker retries after its interval and, with the
// first answer, goes on as if it had answered at once.
TEST_F(UpgradeCheckTest, RetriesUntilTheServiceAnswers) {
  http.Fail(u"http://a/pcUpgrade.action");
  http.Fail(u"http://a/pcUpgrade.action");
  http.Answer(u"http://a/pcUpgrade.action",
              "<result><version>2.0</version><upgradeMsg>Get it</upgradeMsg>"
              "<forceUpgrade>0</forceUpgrade></result>");
  auto check = UpgradeCheck::Start(&window, u"http://a", u"1.5.0.5", 5ms);
  ASSERT_TRUE(check->WaitUntilFinished(10s));
  EXPECT_EQ(check->Attempts(), 3);
  EXPECT_EQ(check->UpgradeMessage(), u"Get it");
  EXPECT_EQ(http.RequestedUrls(),
            std::vector<Text>(3, u"http://a/pcUpgrade.action?terminal=2&lang=kr"));
  EXPECT_EQ(http.Requests().at(0).maxBytes, 1048575u);
  EXPECT_EQ(window.Messages(),
            (std::vector<RecordingMessageTarget::Message>{{WM_UPGRADE_RESULT, 0, 0, true}}));
}

// A check that never gets an answer stops when its owner lets it go.
TEST_F(UpgradeCheckTest, DestroyingStopsTheRetries) {
  http.Fail(u"http://a/");
  auto check = UpgradeCheck::Start(&window, u"http://a", u"1.5.0.5");  // 30 s pause
  for (int i = 0; i < 1000 && check->Attempts() == 0; ++i) std::this_thread::sleep_for(1ms);
  const auto start = std::chrono::steady_clock::now();
  check.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(window.Messages().empty());
}

}  // namespace
}  // namespace kavrel
