#include "client/foundation/settings_file.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/platform/files.h"
#include "common/platform/profile_file.h"

namespace kavrel {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = Utf8ToText(std::string(::testing::TempDir()) + "kavrel_settings_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
    DeleteFileAt(path);
  }
  void TearDown() override { DeleteFileAt(path); }
  Text path;
};

TEST_F(SettingsFileTest, MissingFileOrKeyReadsEmptyInBothForms) {
  SettingsFile settings(path);
  EXPECT_EQ(settings.ReadValue(u"ServerUrl", true), u"");
  EXPECT_EQ(settings.ReadValue(u"ServerUrl", false), u"");
  ASSERT_NE(settings.WriteValue(u"HomePage", u"http://home.test/", true), 0);
  EXPECT_EQ(settings.ReadValue(u"ServerUrl", true), u"");
  EXPECT_EQ(settings.ReadValue(u"ServerUrl", false), u"");
}

// The flags have opposite senses: read with true deciphers, write with true
// does not encipher.
TEST_F(SettingsFileTest, EncipheredAndPlainValues) {
  SettingsFile settings(path);
  ASSERT_NE(settings.WriteValue(u"UserInfo", u"viewer<EOF>secret<EOF>", false), 0);
  EXPECT_EQ(settings.ReadValue(u"UserInfo", true), u"viewer<EOF>secret<EOF>");
  const Text stored = settings.ReadValue(u"UserInfo", false);
  EXPECT_EQ(stored, settings.Encipher(u"viewer<EOF>secret<EOF>"));
  EXPECT_EQ(GetProfileText(path, u"KAVREL", u"UserInfo", u""), stored);

  ASSERT_NE(settings.WriteValue(u"HomePage", u"http://home.test/", true), 0);
  EXPECT_EQ(settings.ReadValue(u"HomePage", false), u"http://home.test/");
  EXPECT_EQ(settings.ReadValue(u"HomePage", true), u"");  // not a cipher text
}

TEST_F(SettingsFileTest, EmptyValueEncipheredWritesNothingPlainClears) {
  SettingsFile settings(path);
  ASSERT_NE(settings.WriteValue(u"logincode", u"uuid-1", false), 0);
  EXPECT_EQ(settings.WriteValue(u"logincode", u"", false), 0);
  EXPECT_EQ(settings.ReadValue(u"logincode", true), u"uuid-1");
  ASSERT_NE(settings.WriteValue(u"logincode", u"", true), 0);
  EXPECT_EQ(GetProfileText(path, u"KAVREL", u"logincode", u"absent"), u"");
  EXPECT_EQ(settings.ReadValue(u"logincode", true), u"");
}

TEST_F(SettingsFileTest, ValueLimits) {
  SettingsFile settings(path);
  const Text longest(496, u'v');
  ASSERT_NE(settings.WriteValue(u"AdTime", longest, false), 0);
  EXPECT_EQ(settings.ReadValue(u"AdTime", true), longest);
  // One block more would not read back: the stored value stays.
  EXPECT_EQ(settings.WriteValue(u"AdTime", Text(497, u'w'), false), 0);
  EXPECT_EQ(settings.ReadValue(u"AdTime", true), longest);
  ASSERT_NE(settings.WriteValue(u"ClientPage", Text(1500, u'p'), true), 0);
  EXPECT_EQ(settings.ReadValue(u"ClientPage", false), Text(1023, u'p'));
}

TEST_F(SettingsFileTest, RefusedWriteAnswersZero) {
  SettingsFile settings(path + u".missing/config.ini");
  EXPECT_EQ(settings.WriteValue(u"HomePage", u"x", true), 0);
  EXPECT_EQ(settings.WriteValue(u"UserInfo", u"x", false), 0);
}

// Workers and the main thread write different keys at once; the lock keeps
// every write (a lost update would drop a key).
TEST_F(SettingsFileTest, ConcurrentWritersLoseNothing) {
  SettingsFile settings(path);
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&settings, t] {
      for (int i = 0; i < 10; ++i) {
        const Text key = AsciiToText("k" + std::to_string(t) + "_" + std::to_string(i));
        settings.WriteValue(key, key, false);
      }
    });
  }
  for (std::thread& w : workers) w.join();
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 10; ++i) {
      const Text key = AsciiToText("k" + std::to_string(t) + "_" + std::to_string(i));
      EXPECT_EQ(settings.ReadValue(key, true), key);
    }
}

}  // namespace
}  // namespace kavrel
