#include "tools/kavrel-config/config_tool.h"

#include <gtest/gtest.h>

#include "client/foundation/settings_file.h"
#include "common/platform/files.h"
#include "common/platform/profile_file.h"

namespace kavrel {
namespace {

class ConfigToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = Utf8ToText(std::string(::testing::TempDir()) + "kavrel_config_tool_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
    DeleteFileAt(path);
  }
  void TearDown() override { DeleteFileAt(path); }

  // Runs the tool with `--file path` in front of the arguments (UTF-8).
  int Tool(std::vector<std::string> args) {
    std::vector<Text> texts = {u"--file", path};
    for (const std::string& a : args) texts.push_back(Utf8ToText(a));
    out.clear();
    err.clear();
    return RunConfigTool(texts, out, err);
  }

  Text path;
  std::string out, err;
};

TEST_F(ConfigToolTest, InitWritesACompleteFile) {
  ASSERT_EQ(Tool({"init", "--server", "http://a.test", "--server", "http://b.test", "--player-auth",
                  "http://pa.test", "--stats", "http://bi.test", "--home", "http://home.test", "--feedback",
                  "help@tv.test", "--renew", "http://pay.test"}),
            kToolOk)
      << err;
  EXPECT_EQ(Tool({"get", "ServerUrl"}), kToolOk);
  EXPECT_EQ(out, "http://a.test<EOF>http://b.test<EOF>\n");
  Tool({"get", "UerSetMeal"});
  EXPECT_EQ(out, "http://pa.test<EOF><EOF><EOF>\n");
  Tool({"get", "BIServer"});
  EXPECT_EQ(out, "http://bi.test\n");

  // The client's own reader sees the same; page addresses are stored plain.
  SettingsFile settings(path);
  EXPECT_EQ(settings.ReadValue(u"ServerUrl", true), u"http://a.test<EOF>http://b.test<EOF>");
  EXPECT_EQ(settings.ReadValue(u"HomePage", false), u"http://home.test");
  EXPECT_EQ(settings.ReadValue(u"FeedbackMail", false), u"help@tv.test");
  EXPECT_EQ(settings.ReadValue(u"PayForUrlAppStore", false), u"http://pay.test");
  EXPECT_EQ(GetProfileText(path, u"KAVREL", u"StorePage", u"absent"), u"");  // written, empty
  EXPECT_NE(GetProfileText(path, u"KAVREL", u"ServerUrl", u""), u"http://a.test<EOF>http://b.test<EOF>");
}

TEST_F(ConfigToolTest, SetAndGetWithAndWithoutPlain) {
  ASSERT_EQ(Tool({"set", "UserInfo", "1<EOF>뷰어<EOF>"}), kToolOk) << err;
  Tool({"get", "UserInfo", "--plain"});
  const std::string stored = out;
  EXPECT_EQ(stored.size(), 49u);  // 13 bytes: two blocks, 48 digits, and the line end
  Tool({"get", "UserInfo"});
  // The ANSI code page of the test (1252) cannot hold Hangul: it became '?'.
  EXPECT_EQ(out, "1<EOF>?" "?<EOF>\n");
  ASSERT_EQ(Tool({"decipher", stored.substr(0, 48)}), kToolBadUse);  // no --file with decipher

  ASSERT_EQ(Tool({"set", "StoreUserCode", "--plain", "code 7"}), kToolOk);
  Tool({"get", "StoreUserCode", "--plain"});
  EXPECT_EQ(out, "code 7\n");
  Tool({"get", "StoreUserCode"});
  EXPECT_EQ(out, "\n");  // plain text does not decipher
  Tool({"get", "NoSuchKey"});
  EXPECT_EQ(out, "\n");
}

TEST(ConfigToolCipherTest, EncipherAndDecipher) {
  std::string out, err;
  ASSERT_EQ(RunConfigTool({u"encipher", u"http://a.test<EOF>"}, out, err), kToolOk);
  ASSERT_EQ(out.size(), 16u * 4 + 1);
  const std::string hex = out.substr(0, out.size() - 1);
  out.clear();
  ASSERT_EQ(RunConfigTool({u"decipher", Utf8ToText(hex)}, out, err), kToolOk);
  EXPECT_EQ(out, "http://a.test<EOF>\n");
  out.clear();
  EXPECT_EQ(RunConfigTool({u"decipher", u"ABCD"}, out, err), kToolFailed);
  EXPECT_EQ(out, "");
}

TEST_F(ConfigToolTest, BadUseAnswersTwoWithOneLine) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"get"},
      {"get", "a", "b"},
      {"set", "Key"},
      {"set", "Key", ""},
      {"init"},
      {"init", "--server"},
      {"init", "--stats", "http://bi.test"},
      {"init", "--server", "a", "--server", "b", "--server", "c", "--server", "d"},
      {"init", "--server", "a", "--player-auth", "1", "--player-auth", "2", "--player-auth", "3",
       "--player-auth", "4"},
      {"init", "--server", "a<EOF>b"},
      {"init", "--server", ""},
      {"init", "--server", "a", "--colour", "red"},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const std::string& a : c) joined += a + " ";
    EXPECT_EQ(Tool(c), kToolBadUse) << joined;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << joined << ": " << err;
  }
  EXPECT_FALSE(FileExists(path));
}

TEST_F(ConfigToolTest, UnwritableFileFails) {
  path += u".missing/config.ini";
  EXPECT_EQ(Tool({"set", "HomePage", "x", "--plain"}), kToolFailed);
  EXPECT_EQ(Tool({"init", "--server", "http://a.test"}), kToolFailed);
  EXPECT_NE(err, "");
}

}  // namespace
}  // namespace kavrel
