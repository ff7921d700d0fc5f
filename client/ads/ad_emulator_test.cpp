// The manager against the service emulator over the real HTTP seam.
#include <gtest/gtest.h>

#include <filesystem>

#include "client/ads/ad_manager.h"
#include "client/foundation/settings_file.h"
#include "common/platform/files.h"
#include "tools/service-emulator/emulator.h"

namespace kavrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using emulator::Advertisement;
using emulator::Emulator;
using emulator::Scenario;

const std::string kTestData = std::string(KAVREL_SOURCE_DIR) + "/client/ads/testdata/";

Advertisement Ad(const char* key, const char* id, int type, const char* time, const char* source) {
  Advertisement a;
  a.key = key;
  a.id = id;
  a.type = type;
  a.modifyTime = time;
  if (type == 1) a.url = source;
  else a.folder = kTestData + source;
  return a;
}

class AdEmulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(::testing::TempDir()) / "kavrel_ad_emulator";
    std::error_code ec;
    fs::remove_all(root_, ec);
    fs::create_directories(root_ / "Advertise");
    program_ = Utf8ToText(root_.u8string()) + PathSeparator();
    settings_ = std::make_unique<SettingsFile>(program_ + u"config.ini");
    target_ = std::make_shared<RecordingMessageTarget>();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // One client run against an emulator serving `ads`; answers how many
  // requests for each package path ("ads/<id>.zip") it saw.
  std::vector<std::string> Run(std::vector<Advertisement> ads) {
    Scenario scenario;
    scenario.servers.resize(1);
    scenario.servers[0].name = "main";
    scenario.ads = std::move(ads);
    Emulator emulator(std::move(scenario));
    std::string error;
    EXPECT_TRUE(emulator.Start({}, "", &error)) << error;
    AdManagerOptions options;
    options.settings = settings_.get();
    options.programFolder = program_;
    {
      CAdManager manager(Utf8ToText(emulator.Servers().at(0).base), target_, options);
      bool scheduled = false;
      EXPECT_TRUE(manager.WaitForFetch(20s, &scheduled));
      EXPECT_TRUE(scheduled);
      current_ = manager.CurrentSendList();
    }
    return emulator.Log();
  }

  static int Count(const std::vector<std::string>& log, const std::string& path) {
    int n = 0;
    for (const std::string& entry : log)
      if (entry.find(path) != std::string::npos) ++n;
    return n;
  }

  Text P(const char* relative) const { return program_ + WithNativeSeparators(Utf8ToText(relative)); }
  Text Rel(const char* relative) const { return WithNativeSeparators(Utf8ToText(relative)); }
  Text Value(const char16_t* key) { return settings_->ReadValue(key, true); }

  fs::path root_;
  Text program_;
  std::unique_ptr<SettingsFile> settings_;
  std::shared_ptr<RecordingMessageTarget> target_;
  std::vector<AdEntry> current_;
};

// Two runs: the fixed package is fetched once, the address written each
// time, send packages downloaded, reused when unchanged and pruned when
// they leave the catalogue; a catalogue without send entries saves nothing.
TEST_F(AdEmulatorTest, PackagesAcrossRuns) {
  auto log = Run({Ad("WEB_TV_AD_RIGHT", "r", 2, "100", "fix"),
                  Ad("WEB_TV_AD_APP", "a", 1, "1", "http://web.test/app.html"),
                  Ad("WEB_TV_AD_SEND", "s1", 2, "5", "send1"),
                  Ad("WEB_TV_AD_SEND", "s2", 2, "5", "send2")});
  EXPECT_EQ(Count(log, "pcAd.action"), 1);
  EXPECT_EQ(Count(log, "ads/r.zip"), 1);
  EXPECT_EQ(Value(u"WEB_TV_AD_RIGHT"), u"100<EOF>" + Rel("Advertise/Fix/index.html"));
  EXPECT_EQ(Value(u"WEB_TV_AD_APP"), u"http://web.test/app.html");
  EXPECT_TRUE(FileExists(P("Advertise/Fix/css/site.css")));
  EXPECT_EQ(target_->MessagesOf(WM_AD_READY).size(), 1u);
  std::string page;
  EXPECT_TRUE(ReadFileBytes(P("Advertise/send/s2/index.html"), page));
  EXPECT_EQ(page, "<html>two</html>\n");
  EXPECT_EQ(Value(u"WEB_TV_AD_SEND"), u"s1<EOF>" + Rel("Advertise/send/s1/index.html") + u"<EOF>s2<EOF>" +
                                          Rel("Advertise/send/s2/index.html") + u"<EOF>");
  EXPECT_EQ(Value(u"AdTime"), u"5<EOF>5<EOF>");

  ASSERT_TRUE(settings_->WriteValue(u"WEB_TV_AD_APP", u"", true));
  log = Run({Ad("WEB_TV_AD_RIGHT", "r", 2, "100", "fix"),
             Ad("WEB_TV_AD_APP", "a", 1, "1", "http://web.test/app.html"),
             Ad("WEB_TV_AD_SEND", "s1", 2, "5", "send1")});
  EXPECT_EQ(Count(log, "ads/"), 0);
  EXPECT_EQ(Value(u"WEB_TV_AD_APP"), u"http://web.test/app.html");
  ASSERT_EQ(current_.size(), 1u);
  EXPECT_EQ(current_[0].pagePath, P("Advertise/send/s1/index.html"));
  EXPECT_FALSE(FolderExists(P("Advertise/send/s2")));

  log = Run({Ad("WEB_TV_AD_POP", "p", 2, "3", "send2")});
  EXPECT_EQ(Count(log, "ads/p.zip"), 1);
  EXPECT_EQ(Value(u"WEB_TV_AD_POP"), u"3<EOF>" + Rel("Advertise/Pop/index.html"));
  EXPECT_EQ(Value(u"AdTime"), u"5<EOF>");
  EXPECT_FALSE(FolderExists(P("Advertise/send/s1")));
}

}  // namespace
}  // namespace kavrel
