#include "client/ads/ad_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "client/ads/test_zip.h"
#include "client/foundation/settings_file.h"
#include "common/platform/fake_http.h"
#include "common/platform/files.h"

namespace kavrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char16_t kService[] = u"http://ads.test/svc";
constexpr char16_t kCatalogue[] = u"http://ads.test/svc/pcAd.action?terminal=2&lang=kr";

struct Ad {
  std::string key, id, type, modifyTime, filePath, endTime, showTime;
  std::vector<std::string> feelTimes;
};

std::string CatalogueXml(const std::vector<Ad>& ads) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><result>";
  for (const Ad& a : ads) {
    xml += "<ad><key>" + a.key + "</key><id>" + a.id + "</id><type>" + a.type + "</type><modifyTime>" +
           a.modifyTime + "</modifyTime><filePath>" + a.filePath + "</filePath><endTime>" + a.endTime +
           "</endTime><showTime>" + a.showTime + "</showTime><feelTimeList>";
    for (const std::string& f : a.feelTimes) xml += "<feelTime>" + f + "</feelTime>";
    xml += "</feelTimeList></ad>";
  }
  return xml + "</result>";
}

std::string Package(const std::string& page) {
  ZipEntry index;
  index.name = "index.html";
  index.data = page;
  ZipEntry picture;
  picture.name = "img/a.png";
  picture.data = "png";
  return ZipBytes({index, picture});
}

class AdManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(::testing::TempDir()) /
            ("kavrel_admgr_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
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

  Text P(const char* relative) const { return program_ + WithNativeSeparators(Utf8ToText(relative)); }
  Text Rel(const char* relative) const { return WithNativeSeparators(Utf8ToText(relative)); }

  // Runs one manager until its fetch is over and frees it.
  void RunOnce(const Text& service = kService) {
    CAdManager manager(service, target_, Options());
    ASSERT_TRUE(manager.WaitForFetch(10s, &scheduled_));
    current_ = manager.CurrentSendList();
    saved_ = manager.SavedSendList();
  }

  AdManagerOptions Options() {
    AdManagerOptions o;
    o.settings = settings_.get();
    o.programFolder = program_;
    o.clock = &clock_;
    o.scheduleInterval = 10ms;
    return o;
  }

  // The one answer for `prefix` from now on.
  void Serve(const Text& prefix, const std::string& body, int status = 200) {
    http_.Forget(prefix);
    http_.Answer(prefix, body, status);
  }

  Text Value(const char16_t* key) { return settings_->ReadValue(key, true); }

  std::size_t Requested(const char16_t* url) {
    const auto urls = http_.RequestedUrls(url);
    return urls.size();
  }

  fs::path root_;
  Text program_;
  std::unique_ptr<SettingsFile> settings_;
  std::shared_ptr<RecordingMessageTarget> target_;
  FakeHttp http_;
  ManualAdClock clock_{1796999390, 9 * 3600};  // 2026-12-11 23:29:50 local
  bool scheduled_ = false;
  std::vector<AdEntry> current_, saved_;
};

// Fixed packages are fetched and unpacked once per modification time; an
// address advertisement is written on every run; the side view is told
// (synchronously) after every run whether or not its package changed.
TEST_F(AdManagerTest, FixedAdvertisements) {
  Serve(kCatalogue, CatalogueXml({{"WEB_TV_AD_RIGHT", "r", "2", "100", "http://pkg.test/fix.zip"},
                                         {"WEB_TV_AD_APP", "a", "1", "5", "http://web.test/app.html"},
                                         {"WEB_TV_AD_POP", "p", "2", "7", "http://pkg.test/pop.zip"},
                                         {"WEB_TV_AD_UNKNOWN", "u", "2", "9", "http://pkg.test/u.zip"}}));
  Serve(u"http://pkg.test/fix.zip", Package("fix page"));
  Serve(u"http://pkg.test/pop.zip", Package("pop page"));

  ASSERT_NO_FATAL_FAILURE(RunOnce());
  EXPECT_TRUE(scheduled_);
  EXPECT_EQ(Value(u"WEB_TV_AD_RIGHT"), u"100<EOF>" + Rel("Advertise/Fix/index.html"));
  EXPECT_EQ(Value(u"WEB_TV_AD_POP"), u"7<EOF>" + Rel("Advertise/Pop/index.html"));
  EXPECT_EQ(Value(u"WEB_TV_AD_APP"), u"http://web.test/app.html");
  std::string page;
  EXPECT_TRUE(ReadFileBytes(P("Advertise/Fix/index.html"), page));
  EXPECT_EQ(page, "fix page");
  EXPECT_TRUE(FileExists(P("Advertise/Fix.zip")));
  EXPECT_TRUE(FileExists(P("Advertise/Pop/img/a.png")));
  EXPECT_EQ(Requested(u"http://pkg.test/u.zip"), 0u);
  const auto requests = http_.Requests();
  for (const FakeHttpRequest& r : requests) {
    const bool catalogue = r.url == kCatalogue;
    EXPECT_EQ(r.options.agent, catalogue ? u"AdMng" : u"Kavrel") << TextToUtf8(r.url);
    EXPECT_EQ(r.options.connectTimeoutMs, 500u);
    EXPECT_EQ(r.options.connectRetries, 2u);
  }
  EXPECT_EQ(target_->MessagesOf(WM_AD_READY),
            (std::vector<RecordingMessageTarget::Message>{{WM_AD_READY, 0, 0, true}}));

  // Second run, same catalogue: no package is fetched again, the address is.
  http_.ClearRecords();
  target_->Clear();
  ASSERT_TRUE(settings_->WriteValue(u"WEB_TV_AD_APP", u"", true));
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  EXPECT_EQ(Requested(u"http://pkg.test/"), 0u);
  EXPECT_EQ(Value(u"WEB_TV_AD_APP"), u"http://web.test/app.html");
  EXPECT_EQ(target_->MessagesOf(WM_AD_READY).size(), 1u);

  // A newer side package is fetched and replaces the old one.
  Serve(kCatalogue, CatalogueXml({{"WEB_TV_AD_RIGHT", "r", "2", "101", "http://pkg.test/fix.zip"}}));
  Serve(u"http://pkg.test/fix.zip", Package("newer fix"));
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  EXPECT_EQ(Value(u"WEB_TV_AD_RIGHT"), u"101<EOF>" + Rel("Advertise/Fix/index.html"));
  EXPECT_TRUE(ReadFileBytes(P("Advertise/Fix/index.html"), page));
  EXPECT_EQ(page, "newer fix");
}

// A package that cannot be had leaves the installed one and its value: an
// error status, a refused connection, a body that is no archive, a type that
// is neither 1 nor 2.
TEST_F(AdManagerTest, FixedPackageFailuresKeepTheInstalledOne) {
  const struct {
    const char* type;
    int status;
    bool refused;
    std::string body;
  } kCases[] = {{"2", 404, false, "missing"},
                {"2", 200, true, ""},
                {"2", 200, false, "<html>maintenance</html>"},
                {"3", 200, false, "whatever"}};
  for (const auto& c : kCases) {
    ASSERT_TRUE(settings_->WriteValue(u"WEB_TV_AD_RIGHT", u"50<EOF>old", false));
    Serve(kCatalogue, CatalogueXml({{"WEB_TV_AD_RIGHT", "r", c.type, "60", "http://pkg.test/fix.zip"}}));
    http_.Forget(u"http://pkg.test/");
    if (c.refused) http_.Fail(u"http://pkg.test/");
    else Serve(u"http://pkg.test/", c.body, c.status);
    ASSERT_NO_FATAL_FAILURE(RunOnce());
    EXPECT_EQ(Value(u"WEB_TV_AD_RIGHT"), u"50<EOF>old") << c.type << " " << c.status;
    http_.Forget(u"http://pkg.test/");
  }
}

// Send packages: downloaded into their own folders and saved; at the next
// run an unchanged one is reused, a new one downloaded, and the folder of
// one that left the catalogue deleted (plain files there stay).
TEST_F(AdManagerTest, SendPackagesDownloadedReusedAndPruned) {
  Serve(kCatalogue, CatalogueXml({{"WEB_TV_AD_SEND", "a", "2", "5", "http://pkg.test/a.zip", "9", "15"},
                                         {"WEB_TV_AD_SEND", "b", "2", "6", "http://pkg.test/b.zip", "9", "20"}}));
  Serve(u"http://pkg.test/a.zip", Package("a page"));
  Serve(u"http://pkg.test/b.zip", Package("b page"));
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  ASSERT_EQ(current_.size(), 2u);
  EXPECT_EQ(current_[0].pagePath, P("Advertise/send/a/index.html"));
  EXPECT_EQ(current_[1].pagePath, P("Advertise/send/b/index.html"));
  EXPECT_TRUE(FileExists(P("Advertise/send/a/a.zip")));
  EXPECT_TRUE(FileExists(P("Advertise/send/b/img/a.png")));
  EXPECT_EQ(Value(u"WEB_TV_AD_SEND"), u"a<EOF>" + Rel("Advertise/send/a/index.html") + u"<EOF>b<EOF>" +
                                          Rel("Advertise/send/b/index.html") + u"<EOF>");
  EXPECT_EQ(Value(u"AdTime"), u"5<EOF>6<EOF>");
  for (const FakeHttpRequest& r : http_.Requests()) {
    if (r.url == kCatalogue) continue;
    EXPECT_EQ(r.options.agent, u"AdMng");
    EXPECT_EQ(r.options.connectTimeoutMs, 1000u);
    EXPECT_EQ(r.options.connectRetries, 1u);
  }

  ASSERT_TRUE(WriteFileBytes(P("Advertise/send/stray.txt"), "keep me"));
  http_.ClearRecords();
  Serve(kCatalogue, CatalogueXml({{"WEB_TV_AD_SEND", "a", "2", "5", "http://pkg.test/a.zip"},
                                         {"WEB_TV_AD_SEND", "c", "2", "1", "http://pkg.test/c.zip"}}));
  Serve(u"http://pkg.test/c.zip", Package("c page"));
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  ASSERT_EQ(saved_.size(), 2u);
  EXPECT_EQ(saved_[1].id, u"b");
  EXPECT_EQ(saved_[1].modifyTime, u"6");
  EXPECT_EQ(Requested(u"http://pkg.test/a.zip"), 0u);
  EXPECT_EQ(Requested(u"http://pkg.test/c.zip"), 1u);
  ASSERT_EQ(current_.size(), 2u);
  EXPECT_EQ(current_[0].pagePath, P("Advertise/send/a/index.html"));
  EXPECT_EQ(current_[1].pagePath, P("Advertise/send/c/index.html"));
  EXPECT_TRUE(FolderExists(P("Advertise/send/a")));
  EXPECT_FALSE(FolderExists(P("Advertise/send/b")));
  EXPECT_TRUE(FileExists(P("Advertise/send/stray.txt")));
  EXPECT_EQ(Value(u"AdTime"), u"5<EOF>1<EOF>");

  // A catalogue without send entries saves nothing and deletes every folder.
  Serve(kCatalogue, CatalogueXml({}));
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  EXPECT_TRUE(scheduled_);
  EXPECT_EQ(Value(u"AdTime"), u"5<EOF>1<EOF>");
  EXPECT_FALSE(FolderExists(P("Advertise/send/a")));
  EXPECT_FALSE(FolderExists(P("Advertise/send/c")));
  EXPECT_TRUE(FileExists(P("Advertise/send/stray.txt")));
}

// A send package that could not be downloaded keeps its address as page
// path, is saved without a time and is tried again at the next run; an id
// that is not a plain folder name is never used as a folder.
TEST_F(AdManagerTest, SendPackageFailuresAndUnsafeIds) {
  Serve(kCatalogue, CatalogueXml({{"WEB_TV_AD_SEND", "a", "2", "5", "http://pkg.test/a.zip"},
                                         {"WEB_TV_AD_SEND", "..\\..\\up", "2", "5", "http://pkg.test/u.zip"}}));
  Serve(u"http://pkg.test/a.zip", "busy", 503);
  Serve(u"http://pkg.test/u.zip", Package("escape"));
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  ASSERT_EQ(current_.size(), 2u);
  EXPECT_EQ(current_[0].pagePath, u"http://pkg.test/a.zip");
  EXPECT_EQ(Requested(u"http://pkg.test/u.zip"), 0u);
  EXPECT_FALSE(fs::exists(root_.parent_path() / "up"));
  EXPECT_EQ(Value(u"AdTime"), u"<EOF><EOF>");

  Serve(u"http://pkg.test/a.zip", Package("a page"));
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  EXPECT_EQ(Requested(u"http://pkg.test/a.zip"), 2u);
  EXPECT_EQ(current_[0].pagePath, P("Advertise/send/a/index.html"));
}

// The children of an ad are searched in the order key, id, type, ... and
// forward only: a type written before the id is passed over by the search
// for the id and not found after it; the show moments are read in order; the catalogue answer is
// kept up to the first zero byte of each block it is read in.
TEST_F(AdManagerTest, CatalogueReading) {
  std::string xml =
      "<result><ad><key>WEB_TV_AD_SEND</key><type>2</type><id>x</id><modifyTime>3</modifyTime>"
      "<filePath>http://pkg.test/x.zip</filePath><endTime>99</endTime><showTime>10</showTime>"
      "<feelTimeList><feelTime>2026-12-11 23:30</feelTime><other/><feelTime>2026-12-11 23:45"
      "</feelTime></feelTimeList></ad>";
  xml += std::string(1023 - xml.size() % 1023, ' ');
  xml += std::string("<ad><key>WEB_TV_AD_SEND</key><id>y</id>\0garbage", 47);
  xml += std::string(1023 - xml.size() % 1023, ' ');
  xml += "<modifyTime>4</modifyTime></ad></result>";
  Serve(kCatalogue, xml);
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  ASSERT_EQ(current_.size(), 2u);
  EXPECT_EQ(current_[0].id, u"x");
  EXPECT_EQ(current_[0].type, u"");
  EXPECT_EQ(current_[0].modifyTime, u"3");
  EXPECT_EQ(current_[0].showTime, u"10");
  ASSERT_EQ(current_[0].feelTimes.size(), 2u);
  EXPECT_EQ(current_[0].feelTimes[1].time, u"2026-12-11 23:45");
  EXPECT_EQ(current_[1].id, u"y");
  EXPECT_EQ(current_[1].modifyTime, u"4");
}

// Without an address or a catalogue nothing is written and the schedule
// never starts; an answer that is no catalogue simply holds no entries.
TEST_F(AdManagerTest, NoCatalogueNoSchedule) {
  ASSERT_TRUE(settings_->WriteValue(u"AdTime", u"1<EOF>", false));
  ASSERT_NO_FATAL_FAILURE(RunOnce(u""));
  EXPECT_FALSE(scheduled_);
  EXPECT_TRUE(http_.Requests().empty());
  http_.Forget(kCatalogue);
  http_.Fail(kCatalogue);
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  EXPECT_FALSE(scheduled_);
  EXPECT_FALSE(FolderExists(P("Advertise/send")));
  Serve(kCatalogue, "<html>500</html>", 500);
  ASSERT_NO_FATAL_FAILURE(RunOnce());
  EXPECT_TRUE(scheduled_);
  EXPECT_TRUE(current_.empty());
  EXPECT_EQ(Value(u"AdTime"), u"1<EOF>");
  EXPECT_TRUE(target_->Messages().empty());
}

// After the fetch the schedule posts a due moment with pointers to the
// manager's own texts, once.
TEST_F(AdManagerTest, ScheduleFiresAfterTheFetch) {
  Serve(kCatalogue, CatalogueXml({{"WEB_TV_AD_SEND", "a", "2", "5", "http://pkg.test/a.zip",
                                          "1797000000", "15", {"2026-12-11 23:30", "2026-12-11 23:31"}}}));
  Serve(u"http://pkg.test/a.zip", Package("a page"));
  CAdManager manager(kService, target_, Options());
  ASSERT_TRUE(manager.WaitForFetch(10s));
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(target_->Messages().empty());  // 23:29 still
  clock_.Advance(15);
  std::vector<RecordingMessageTarget::Message> posted;
  for (int i = 0; i < 500 && posted.empty(); ++i) {
    std::this_thread::sleep_for(10ms);
    posted = target_->MessagesOf(WM_AD_READY);
  }
  std::this_thread::sleep_for(50ms);
  posted = target_->MessagesOf(WM_AD_READY);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(*reinterpret_cast<const Text*>(posted[0].wParam), u"15");
  EXPECT_EQ(*reinterpret_cast<const Text*>(posted[0].lParam), P("Advertise/send/a/index.html"));
}

// Freeing the manager while its threads are at work (a slow catalogue, a
// slow package, a running schedule) waits for them: nothing is used after
// it is gone (run under ASan), and nothing more is reported.
TEST_F(AdManagerTest, FreeingWhileThreadsRunIsSafe) {
  std::atomic<int> answered{0};
  auto slow = [&](const std::string& body) {
    return [&answered, body](const FakeHttpRequest&) {
      std::this_thread::sleep_for(30ms);
      ++answered;
      return HttpAnswer(body);
    };
  };
  http_.Respond(kCatalogue, slow(CatalogueXml({{"WEB_TV_AD_RIGHT", "r", "2", "100", "http://pkg.test/fix.zip"},
                                              {"WEB_TV_AD_SEND", "a", "2", "5", "http://pkg.test/a.zip", "1797000000",
                                               "15", {"2026-12-11 23:29"}}})));
  http_.Respond(u"http://pkg.test/", slow(Package("page")));
  for (int wait : {0, 10, 45, 80, 200}) {
    target_->Clear();
    {
      CAdManager manager(kService, target_, Options());
      std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    const std::size_t after = target_->Messages().size();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(target_->Messages().size(), after) << wait;
  }
  EXPECT_GT(answered.load(), 0);
}

}  // namespace
}  // namespace kavrel
