#include "tools/service-emulator/emulator.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <unistd.h>
#include <unzip.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "client/foundation/settings_cipher.h"
#include "client/foundation/stream_cipher.h"
#include "common/platform/code_page.h"
#include "common/platform/text.h"

namespace kavrel::emulator {
namespace {

using nlohmann::json;

const std::string kFolder = std::string(KAVREL_SOURCE_DIR) + "/tools/service-emulator";

// b = 42, as the client builds it.
const char kAck[] = "0000002a0001000000000000002b";

// Every text content of <name> elements, in document order.
std::vector<std::string> All(const std::string& xml, const std::string& name) {
  std::vector<std::string> out;
  std::regex re("<" + name + ">([^<]*)</" + name + ">");
  for (std::sregex_iterator it(xml.begin(), xml.end(), re), end; it != end; ++it)
    out.push_back((*it)[1]);
  return out;
}

std::string First(const std::string& xml, const std::string& name) {
  auto all = All(xml, name);
  return all.empty() ? "<missing>" : all[0];
}

Scenario LoadTestScenario() {
  Scenario s;
  std::string error;
  EXPECT_TRUE(LoadScenarioFile(kFolder + "/testdata/scenario.json", &s, &error)) << error;
  return s;
}

std::string Today(int plusDays = 0) {
  std::time_t t = std::time(nullptr) + plusDays * 86400;
  std::tm tm{};
  localtime_r(&t, &tm);
  char buffer[16];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &tm);
  return buffer;
}

class EmulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emulator_ = std::make_unique<Emulator>(LoadTestScenario());
    std::string error;
    ASSERT_TRUE(emulator_->Start({}, "", &error)) << error;
    ASSERT_EQ(emulator_->Servers().size(), 2u);
  }

  int Port(size_t server = 0) { return emulator_->Servers()[server].port; }

  httplib::Result Get(const std::string& target, size_t server = 0) {
    httplib::Client client("127.0.0.1", Port(server));
    client.set_connection_timeout(2);
    client.set_read_timeout(5);
    return client.Get(target.c_str());
  }

  std::string Body(const std::string& target, size_t server = 0) {
    auto res = Get(target, server);
    return res ? res->body : "<no answer>";
  }

  std::string Handshake() {
    return First(Body(std::string("/pcAuth.action?terminal=2&ack=") + kAck), "uuid");
  }

  std::string Login(const std::string& uuid, const std::string& user, const std::string& pwd,
                    const std::string& type = "2", const std::string& loginCode = "") {
    return First(Body("/pcUserLogin.action?terminal=2&um=" + user + "&pwd=" + pwd + "&type=" +
                      type + "&uuid=" + uuid + "&mac=00-11-22-33-44-55&loginCode=" + loginCode),
                 "status");
  }

  std::string Fee(const std::string& uuid, const std::string& id, const std::string& resId = "1") {
    return Body("/pcFeeAuth.action?terminal=2&uuid=" + uuid + "&classifycode=all&tvcode=x&tvid=" +
                id + "&resid=" + resId + "&mac=m&type=1");
  }

  std::vector<json> LogEntries() {
    std::vector<json> out;
    for (const std::string& line : emulator_->Log()) out.push_back(json::parse(line));
    return out;
  }

  std::unique_ptr<Emulator> emulator_;
};

TEST_F(EmulatorTest, HandshakeIssuesAUuidPerDeviceAndChecksTheAcknowledgement) {
  std::string first = Body(std::string("/pcAuth.action?terminal=2&ack=") + kAck);
  EXPECT_EQ(First(first, "result"), "1");
  std::string second = Handshake();
  EXPECT_NE(First(first, "uuid"), second);
  EXPECT_FALSE(second.empty());
  // Wrong middle part, wrong b + 1, and no acknowledgement at all.
  for (const char* ack : {"0000002a0002000000000000002b", "0000002a0001000000000000002c", ""}) {
    std::string body = Body(std::string("/pcAuth.action?terminal=2&ack=") + ack);
    EXPECT_EQ(First(body, "result"), "0") << ack;
    EXPECT_EQ(First(body, "uuid"), "<missing>") << ack;
  }
}

TEST(EmulatorScenario, HandshakeRefusesDevicesWhenTheScenarioSaysSo) {
  Scenario s = LoadTestScenario();
  s.refuseDevices = true;
  Emulator emulator(std::move(s));
  std::string error;
  ASSERT_TRUE(emulator.Start({}, "", &error)) << error;
  httplib::Client client("127.0.0.1", emulator.Servers()[0].port);
  auto res = client.Get((std::string("/pcAuth.action?terminal=2&ack=") + kAck).c_str());
  ASSERT_TRUE(res);
  EXPECT_EQ(First(res->body, "result"), "2");
  EXPECT_EQ(First(res->body, "uuid"), "<missing>");
}

TEST_F(EmulatorTest, CatalogueListsGroupsWithAttributesAndChannelsWithSixChildrenInOrder) {
  std::string uuid = Handshake();
  std::string body = Body("/pcTv.action?terminal=2&uuid=" + uuid);
  // The groups element is the document element.
  EXPECT_NE(body.find("?><groups><group name=\"전체\" id=\"g1\" isGroup=\"1\" classifyCode=\"all\">"),
            std::string::npos)
      << body;
  EXPECT_NE(body.find("<group name=\"News\" id=\"g2\" isGroup=\"0\" classifyCode=\"news\">"),
            std::string::npos);
  EXPECT_NE(body.find("<channel><id>101</id><resId>7</resId><code>news1</code><name>뉴스 One</name>"
                      "<status>1</status><isCharge>0</isCharge></channel>"),
            std::string::npos);
  // Channel 101 sits in both groups.
  EXPECT_EQ(All(body, "name"), (std::vector<std::string>{"뉴스 One", "Film", "Old", "Sport", "뉴스 One"}));
  EXPECT_EQ(All(body, "isCharge"), (std::vector<std::string>{"0", "1", "1", "1", "0"}));
  // An unknown device gets no catalogue.
  EXPECT_EQ(Body("/pcTv.action?terminal=2&uuid=nobody").find("<groups>"), std::string::npos);
}

TEST_F(EmulatorTest, LoginAnswersEveryStatusOfTheProtocol) {
  std::string uuid = Handshake();
  const struct {
    const char* user;
    const char* pwd;
    const char* type;
    const char* device;  // nullptr: the device from the handshake
    const char* status;
  } kCases[] = {
      {"store", "", "2", nullptr, "-7"},       {"store", "pw%2B1", "3", nullptr, "-7"},
      {"store", "pw%2B1", "2", "stale", "-5"}, {"ghost", "pw", "2", nullptr, "-3"},
      {"app", "pw", "2", nullptr, "-3"},       {"store", "pw", "2", nullptr, "-1"},
      {"black", "pw", "2", nullptr, "-4"},     {"guarded", "pw", "2", nullptr, "-6"},
      {"app", "pw", "1", nullptr, "1"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Login(c.device ? c.device : uuid, c.user, c.pwd, c.type), c.status)
        << c.user << "/" << c.pwd << "/" << c.type;
  }
  // A password with "+" arrives as sent; the answer carries the session values.
  std::string body = Body("/pcUserLogin.action?terminal=2&um=store&pwd=pw%2B1&type=2&uuid=" + uuid +
                          "&mac=m&loginCode=");
  EXPECT_EQ(First(body, "status"), "1");
  EXPECT_NE(body.find("<status>1</status><frequency>30000</frequency><outRule>2</outRule>"
                      "<appUser>u 1</appUser><appCode>c1</appCode><appUn>n1</appUn>"),
            std::string::npos)
      << body;
}

TEST_F(EmulatorTest, DeviceAuthorisationLetsTheGuardedAccountSignInOnThatDeviceOnly) {
  std::string device = Handshake(), other = Handshake();
  EXPECT_EQ(Login(device, "guarded", "pw"), "-6");
  EXPECT_EQ(First(Body("/pcUserAuthLogin.action?terminal=2&um=guarded&pwd=bad&uuid=" + device + "&mac=m"),
                  "status"),
            "-1");
  std::string auth = Body("/pcUserAuthLogin.action?terminal=2&um=guarded&pwd=pw&uuid=" + device + "&mac=m");
  EXPECT_EQ(First(auth, "status"), "1");
  EXPECT_EQ(First(auth, "frequency"), "60000");
  EXPECT_EQ(First(Body("/pcUserLogout.action?terminal=2&um=guarded&uuid=" + device), "status"), "1");
  EXPECT_EQ(Login(other, "guarded", "pw"), "-6") << "authorisation belongs to the device";
  EXPECT_EQ(Login(device, "guarded", "pw"), "1");
  EXPECT_EQ(Login(other, "guarded", "pw", "2", device), "-6");
}

TEST_F(EmulatorTest, LogoutStatuses) {
  std::string uuid = Handshake();
  ASSERT_EQ(Login(uuid, "app", "pw", "1"), "1");
  EXPECT_EQ(First(Body("/pcUserLogout.action?terminal=2&um=&uuid=" + uuid), "status"), "-1");
  EXPECT_EQ(First(Body("/pcUserLogout.action?terminal=2&um=store&uuid=" + uuid), "status"), "2");
  EXPECT_EQ(First(Body("/pcUserLogout.action?terminal=2&um=app&uuid=" + uuid), "status"), "1");
  EXPECT_EQ(First(Body("/pcUserLogout.action?terminal=2&um=app&uuid=" + uuid), "status"), "2");
  // Login while signed in elsewhere, then resumed with the login code.
  std::string other = Handshake();
  ASSERT_EQ(Login(uuid, "app", "pw", "1"), "1");
  EXPECT_EQ(Login(other, "app", "pw", "1"), "-2");
  EXPECT_EQ(Login(other, "app", "pw", "1", uuid), "1");
  EXPECT_EQ(First(Body("/pcPluse.action?terminal=2&uuid=" + uuid + "&tvcode=x&classifycode=y"), "status"),
            "1")
      << "the first device was signed out by the resumed login";
}

TEST_F(EmulatorTest, FeeCheckEnciphersTheStreamAndReportsRemainingTimeAndRefusals) {
  std::string uuid = Handshake();
  EXPECT_EQ(First(Fee(uuid, "101", "7"), "status"), "4") << "nobody signed in";
  ASSERT_EQ(Login(uuid, "store", "pw%2B1"), "1");

  std::string free = Fee(uuid, "101", "7");
  EXPECT_EQ(First(free, "status"), "1");
  std::string url = First(free, "url");
  EXPECT_EQ(url.find_first_not_of("0123456789ABCDEF"), std::string::npos) << url;
  EXPECT_EQ(DecodeStreamAddress(Utf8ToText(url)), u"rtmp://127.0.0.1/live/news1");

  std::string paid = Fee(uuid, "202");
  EXPECT_EQ(First(paid, "status"), "1");
  EXPECT_EQ(DecodeStreamAddress(Utf8ToText(First(paid, "url"))), u"rtmp://127.0.0.1/live/film");
  long long remaining = std::stoll(First(paid, "time"));
  EXPECT_LE(remaining, 72LL * 3600000);
  EXPECT_GT(remaining, 72LL * 3600000 - 60000);

  const struct {
    const char* id;
    const char* resId;
    const char* status;
  } kRefusals[] = {
      {"303", "1", "5"},  // ended a day ago
      {"404", "1", "3"},  // the scenario's status for this account
      {"101", "1", "3"},  // no such resource
      {"999", "1", "3"},
  };
  for (const auto& c : kRefusals) {
    std::string body = Fee(uuid, c.id, c.resId);
    EXPECT_EQ(First(body, "status"), c.status) << c.id;
    EXPECT_EQ(First(body, "url"), "<missing>") << c.id;
  }
  std::string app = Handshake();
  ASSERT_EQ(Login(app, "app", "pw", "1"), "1");
  EXPECT_EQ(First(Fee(app, "202"), "status"), "2") << "not subscribed";
}

TEST_F(EmulatorTest, PulseReportsTheRemainingTimeOfTheNamedChannel) {
  std::string uuid = Handshake();
  EXPECT_EQ(First(Body("/pcPluse.action?terminal=2&uuid=" + uuid + "&tvcode=film&classifycode=all"),
                  "status"),
            "1");
  ASSERT_EQ(Login(uuid, "store", "pw%2B1"), "1");
  std::string film = Body("/pcPluse.action?terminal=2&uuid=" + uuid + "&tvcode=film&classifycode=all");
  EXPECT_EQ(First(film, "status"), "0");
  EXPECT_GT(std::stoll(First(film, "time")), 71LL * 3600000);
  std::string old = Body("/pcPluse.action?terminal=2&uuid=" + uuid + "&tvcode=old&classifycode=all");
  EXPECT_EQ(First(old, "time"), "0") << "an ended period reads as 0";
}

TEST_F(EmulatorTest, GuideGeneratesTheScenarioDayForEachRequestedDateInRange) {
  std::string uuid = Handshake();
  auto guide = [&](const std::string& date) {
    return Body("/pcTvNotice.action?terminal=2&uuid=" + uuid + "&startDate=" + date + "&endDate=" + date);
  };
  for (int day : {0, 2}) {
    std::string date = Today(day);
    std::string body = guide(date);
    EXPECT_NE(body.find("<tv><tvId>101</tvId><resId>7</resId><tvName>뉴스 One</tvName><tvItem>"),
              std::string::npos)
        << body;
    EXPECT_EQ(All(body, "tvId").size(), 1u) << "channels without a guide are left out";
    EXPECT_EQ(All(body, "startTime"), (std::vector<std::string>{"00:00:00", "06:00:00", "12:00:00"}));
    EXPECT_EQ(All(body, "title"), (std::vector<std::string>{"Night &amp; Day", "Morning", "Noon"}));
    EXPECT_EQ(All(body, "startDate")[1], date + " 06:00:00");
    EXPECT_EQ(All(body, "endDate")[1], date + " 12:00:00");
    EXPECT_EQ(All(body, "endDate")[2], Today(day + 1) + " 00:00:00");
  }
  for (std::string date : {Today(3), Today(-1), std::string("2026-02-30"), std::string("garbage")}) {
    std::string body = guide(date);
    EXPECT_NE(body.find("<result></result>"), std::string::npos) << date << ": " << body;
  }
}

TEST_F(EmulatorTest, UpgradeAnswerIsInTheScenarioCodePage) {
  auto res = Get("/pcUpgrade.action?terminal=2&lang=kr");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body.find("<?xml"), std::string::npos);
  EXPECT_EQ(res->body.find(TextToUtf8(u"새 버전")), std::string::npos) << "not UTF-8";
  std::string xml = TextToUtf8(BytesToText(res->body, 949));
  EXPECT_EQ(xml, "<result><version>1.5.0.6</version><upgradeMsg>새 버전</upgradeMsg>"
                 "<forceUpgrade>1</forceUpgrade></result>");
}

TEST_F(EmulatorTest, UserChannelsListFreeAndHeldPaidChannels) {
  std::string uuid = Handshake();
  EXPECT_EQ(All(Body("/pcUserTv.action?terminal=2&uuid=" + uuid), "tv").size(), 0u);
  ASSERT_EQ(Login(uuid, "store", "pw%2B1"), "1");
  std::string body = Body("/pcUserTv.action?terminal=2&uuid=" + uuid);
  EXPECT_EQ(All(body, "name"), (std::vector<std::string>{"뉴스 One", "Film", "Old", "Sport"}));
  EXPECT_EQ(All(body, "isCharge"), (std::vector<std::string>{"0", "1", "1", "1"}));
  auto times = All(body, "time");
  ASSERT_EQ(times.size(), 4u);
  EXPECT_EQ(times[0], "0");
  EXPECT_GT(std::stoll(times[1]), 71LL * 3600000);
  EXPECT_EQ(times[2], "0");
}

std::map<std::string, std::string> Unzip(const std::string& archive, int* minYear) {
  char path[] = "/tmp/kavrel-unzip-XXXXXX";
  int fd = mkstemp(path);
  EXPECT_EQ(write(fd, archive.data(), archive.size()), static_cast<ssize_t>(archive.size()));
  close(fd);
  std::map<std::string, std::string> files;
  *minYear = 9999;
  unzFile zip = unzOpen(path);
  EXPECT_TRUE(zip);
  for (int rc = zip ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; rc == UNZ_OK;
       rc = unzGoToNextFile(zip)) {
    char name[256];
    unz_file_info info;
    unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    *minYear = std::min<int>(*minYear, static_cast<int>(info.tmu_date.tm_year));
    std::string data(info.uncompressed_size, '\0');
    unzOpenCurrentFile(zip);
    unzReadCurrentFile(zip, data.data(), static_cast<unsigned>(data.size()));
    unzCloseCurrentFile(zip);
    files[name] = data;
  }
  if (zip) unzClose(zip);
  unlink(path);
  return files;
}

TEST_F(EmulatorTest, AdvertisementCatalogueAndPackages) {
  std::string body = Body("/pcAd.action?terminal=2&lang=kr", 1);
  std::string base = "http://127.0.0.1:" + std::to_string(Port(1));
  EXPECT_EQ(All(body, "key"),
            (std::vector<std::string>{"WEB_TV_AD_RIGHT", "WEB_TV_AD_APP", "WEB_TV_AD_SEND"}));
  EXPECT_EQ(All(body, "filePath"),
            (std::vector<std::string>{base + "/ads/fix.zip", "http://127.0.0.1/app.html",
                                      base + "/ads/send1.zip"}));
  EXPECT_EQ(All(body, "type"), (std::vector<std::string>{"2", "1", "2"}));
  EXPECT_EQ(All(body, "modifyTime"), (std::vector<std::string>{"5", "3", "9"}));
  EXPECT_EQ(All(body, "showTime")[2], "15");
  long long end = std::stoll(All(body, "endTime")[2]);
  EXPECT_NEAR(static_cast<double>(end), static_cast<double>(std::time(nullptr) + 7200), 60);
  // The children stand in the order the client reads them.
  EXPECT_NE(body.find("<ad><key>WEB_TV_AD_SEND</key><id>send1</id><type>2</type><modifyTime>9"
                      "</modifyTime><filePath>"),
            std::string::npos);
  auto moments = All(body, "feelTime");
  ASSERT_EQ(moments.size(), 2u);
  EXPECT_TRUE(std::regex_match(moments[0], std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d)"))) << moments[0];

  auto res = Get("/ads/send1.zip", 1);
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  int year = 0;
  auto files = Unzip(res->body, &year);
  EXPECT_EQ(files, (std::map<std::string, std::string>{
                       {"img/dot.txt", "dot"}, {"index.html", "<html><body>send</body></html>\n"}}));
  EXPECT_GE(year, 2020) << "entries carry the files' modification times";
  EXPECT_EQ(Get("/ads/nothing.zip")->status, 404);
}

TEST_F(EmulatorTest, StatisticsServerTimeAndDecodedPostsInTheLog) {
  auto before = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count();
  long long time = std::stoll(Body("/getTime"));
  EXPECT_NEAR(static_cast<double>(time - before), 3600000.0, 5000.0) << "shifted by the scenario";

  httplib::Client client("127.0.0.1", Port());
  // "r1^^한" as the reporter sends it.
  auto res = client.Post("/collected", "mes=cjFeXu2VnA%3D%3D", "application/x-www-form-urlencoded");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  auto broken = client.Post("/collected", "mes=%%%", "application/x-www-form-urlencoded");
  ASSERT_TRUE(broken);

  auto log = LogEntries();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1]["path"], "/collected");
  EXPECT_EQ(log[1]["method"], "POST");
  EXPECT_EQ(log[1]["body"], "mes=cjFeXu2VnA%3D%3D");
  EXPECT_EQ(log[1]["records"], json::array({"r1", "한"}));
  EXPECT_TRUE(log[2].contains("decodeError"));
}

TEST(EmulatorScenario, StatisticsStatusIsConfigurable) {
  Scenario s = LoadTestScenario();
  s.statsStatus = 503;
  Emulator emulator(std::move(s));
  std::string error;
  ASSERT_TRUE(emulator.Start({}, "", &error)) << error;
  httplib::Client client("127.0.0.1", emulator.Servers()[0].port);
  auto res = client.Post("/collected", "mes=cjE%3D", "application/x-www-form-urlencoded");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 503);
  EXPECT_EQ(json::parse(emulator.Log()[0])["records"], json::array({"r1"}));
}

TEST_F(EmulatorTest, UpdateServerDocumentsAndFiles) {
  std::string version = Body("/update/version.xml");
  EXPECT_EQ(version, "<version>1.5.0.6</version>");

  std::string servers = Body("/update/servers.xml");
  EXPECT_EQ(All(servers, "Name"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(All(servers, "UpdateXmlUrl"),
            (std::vector<std::string>{"http://127.0.0.1:" + std::to_string(Port(0)) + "/update/update.xml",
                                      "http://127.0.0.1:" + std::to_string(Port(1)) + "/update/update.xml"}));

  std::string update = Body("/update/update.xml", 1);
  EXPECT_EQ(All(update, "FileName"), (std::vector<std::string>{"kavrel.exe", "My Skin.xml"}));
  EXPECT_EQ(All(update, "ProductVersion"), (std::vector<std::string>{"1.5.0.6", "1.5.0.6"}));
  EXPECT_EQ(All(update, "Length"), (std::vector<std::string>{"10", "9"}));
  EXPECT_EQ(All(update, "LocalPath"), (std::vector<std::string>{"", "skin\\Default"}));
  auto urls = All(update, "URL");
  ASSERT_EQ(urls.size(), 2u);
  std::string base = "http://127.0.0.1:" + std::to_string(Port(1));
  EXPECT_EQ(urls[1], base + "/update/files/1/My%20Skin.xml");

  auto file = Get(urls[1].substr(base.size()), 1);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->status, 200);
  EXPECT_EQ(file->body, "<Window/>");
  EXPECT_EQ(file->get_header_value("Content-Length"), "9") << "the updater cannot read chunks";
  EXPECT_EQ(Get("/update/files/0/other.exe")->status, 404);
  EXPECT_EQ(Get("/update/files/7/kavrel.exe")->status, 404);
}

TEST(EmulatorScenario, ThrottledUpdateFilesArriveSlowlyButWhole) {
  Scenario s = LoadTestScenario();
  s.updateThrottleBytesPerSec = 40;  // 4 bytes each 100 ms: 10 bytes take 3 steps
  Emulator emulator(std::move(s));
  std::string error;
  ASSERT_TRUE(emulator.Start({}, "", &error)) << error;
  httplib::Client client("127.0.0.1", emulator.Servers()[0].port);
  auto start = std::chrono::steady_clock::now();
  auto res = client.Get("/update/files/0/kavrel.exe");
  auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "new client");
  EXPECT_EQ(res->get_header_value("Content-Length"), "10");
  EXPECT_GE(elapsed, std::chrono::milliseconds(200));
}

TEST_F(EmulatorTest, FaultsApplyPerServerAndEndpoint) {
  const std::string target = "/pcUpgrade.action?terminal=2&lang=kr";
  const std::string normal = Body(target);
  const struct {
    FaultMode mode;
    int status;  // 0: no answer at all
  } kCases[] = {
      {FaultMode::kError, 500},
      {FaultMode::kMalformed, 200},
      {FaultMode::kTruncated, 200},
      {FaultMode::kNothing, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(FaultModeName(c.mode));
    ASSERT_TRUE(emulator_->SetFault("a", "pcUpgrade.action", Fault{c.mode, 0}));
    auto res = Get(target);
    if (c.status == 0) {
      EXPECT_FALSE(res);
    } else {
      ASSERT_TRUE(res);
      EXPECT_EQ(res->status, c.status);
      EXPECT_NE(res->body, normal);
    }
    if (c.mode == FaultMode::kTruncated) {
      EXPECT_EQ(res->body, normal.substr(0, normal.size() / 2));
    }
    if (c.mode == FaultMode::kError) {
      EXPECT_NE(res->body.find("<html>"), std::string::npos);
    }
    EXPECT_EQ(Body(target, 1), normal) << "server b is not affected";
    EXPECT_EQ(First(Body("/pcAuth.action?terminal=2&ack=" + std::string(kAck)), "result"), "1")
        << "other endpoints of server a are not affected";
  }
  // "*" covers every endpoint; a delay holds the normal answer back.
  emulator_->ClearFaults();
  ASSERT_TRUE(emulator_->SetFault("a", "*", Fault{FaultMode::kNone, 300}));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Body(target), normal);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_FALSE(emulator_->SetFault("nosuch", "*", Fault{FaultMode::kError, 0}));

  auto log = LogEntries();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[1]["fault"], "error");
  EXPECT_EQ(log[1]["status"], 500);
  bool sawNothing = false;
  for (const json& e : log) {
    if (e["fault"] == "nothing") {
      sawNothing = true;
      EXPECT_EQ(e["status"], 0);
      EXPECT_EQ(e["params"]["lang"], "kr");
    }
  }
  EXPECT_TRUE(sawNothing);
}

TEST_F(EmulatorTest, ADownServerRefusesConnectionsUntilItIsBroughtBack) {
  int port = Port(0);
  ASSERT_TRUE(emulator_->SetDown("a", true));
  EXPECT_TRUE(emulator_->Servers()[0].down);
  auto refused = Get("/getTime");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), httplib::Error::Connection);
  EXPECT_FALSE(Body("/getTime", 1).empty()) << "the other server still serves";
  ASSERT_TRUE(emulator_->SetDown("a", false));
  EXPECT_EQ(Port(0), port);
  EXPECT_TRUE(Get("/getTime"));
}

TEST(EmulatorScenario, AServerDownFromTheStartKeepsItsPortReserved) {
  Scenario s = LoadTestScenario();
  s.servers[0].down = true;
  s.servers[1].faults["getTime"] = Fault{FaultMode::kError, 0};
  Emulator emulator(std::move(s));
  std::string error;
  ASSERT_TRUE(emulator.Start({}, "", &error)) << error;
  auto servers = emulator.Servers();
  ASSERT_GT(servers[0].port, 0);
  httplib::Client down("127.0.0.1", servers[0].port);
  EXPECT_FALSE(down.Get("/getTime"));
  httplib::Client up("127.0.0.1", servers[1].port);
  auto res = up.Get("/getTime");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 500) << "faults can come from the scenario";
  ASSERT_TRUE(emulator.SetDown("a", false));
  EXPECT_TRUE(down.Get("/getTime"));
}

// Disabled: a server brought back up through the control path (not through
// Emulator::SetDown, which works) still refuses the next connection. The
// fault is in the emulator and is being tracked; run with
// --gtest_also_run_disabled_tests to see it.
TEST_F(EmulatorTest, DISABLED_ControlPathsServeTheLogAndSetFaultsOverHttp) {
  std::string uuid = Handshake();
  Body("/pcTv.action?terminal=2&uuid=" + uuid, 1);
  httplib::Client client("127.0.0.1", Port(1));
  auto log = client.Get("/__emulator/log");
  ASSERT_TRUE(log);
  std::vector<json> lines;
  std::istringstream in(log->body);
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  ASSERT_EQ(lines.size(), 2u) << "control requests are not logged";
  EXPECT_EQ(lines[0]["server"], "a");
  EXPECT_EQ(lines[0]["path"], "/pcAuth.action");
  EXPECT_EQ(lines[0]["params"], (json{{"terminal", "2"}, {"ack", kAck}}));
  EXPECT_EQ(lines[1]["server"], "b");
  EXPECT_EQ(lines[1]["port"], Port(1));
  EXPECT_EQ(lines[1]["params"]["uuid"], uuid);
  EXPECT_EQ(lines[1]["seq"], 1);
  EXPECT_EQ(client.Get("/__emulator/log?since=1")->body.find("pcAuth"), std::string::npos);

  // Faults for server a, set through server b.
  auto set = client.Post("/__emulator/fault", R"({"server":"a","endpoint":"pcTv.action","mode":"error"})",
                         "application/json");
  ASSERT_TRUE(set);
  EXPECT_EQ(set->status, 200);
  EXPECT_EQ(Get("/pcTv.action?terminal=2&uuid=" + uuid)->status, 500);
  for (const char* bad : {"{", R"({"server":"zz","mode":"error"})", R"({"server":"a","mode":"boom"})",
                          R"({"server":"a","delayMs":-5})", R"({"server":"a","down":"yes"})"}) {
    auto res = client.Post("/__emulator/fault", bad, "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400) << bad;
  }
  ASSERT_TRUE(client.Post("/__emulator/fault", R"({"server":"a","down":true})", "application/json"));
  EXPECT_FALSE(Get("/getTime"));
  auto up = client.Post("/__emulator/fault", R"({"server":"a","down":false})", "application/json");
  ASSERT_TRUE(up);
  EXPECT_EQ(up->status, 200) << up->body;
  ASSERT_TRUE(client.Delete("/__emulator/fault"));
  auto back = Get("/pcTv.action?terminal=2&uuid=" + uuid);
  ASSERT_TRUE(back) << httplib::to_string(back.error());
  EXPECT_EQ(back->status, 200);
  ASSERT_TRUE(client.Delete("/__emulator/log"));
  EXPECT_EQ(client.Get("/__emulator/log")->body, "");
}

TEST(EmulatorScenario, WritesTheLogFileAndTheClientSettings) {
  char path[] = "/tmp/kavrel-emulator-log-XXXXXX";
  close(mkstemp(path));
  {
    Emulator emulator(LoadTestScenario());
    std::string error;
    ASSERT_TRUE(emulator.Start({0, 0, 0}, path, &error)) << error;
    auto servers = emulator.Servers();
    ASSERT_EQ(servers.size(), 3u) << "a port beyond the scenario's servers adds one";
    EXPECT_EQ(servers[2].name, "server3");
    httplib::Client client("127.0.0.1", servers[2].port);
    ASSERT_TRUE(client.Get("/getTime"));

    std::map<std::string, std::string> settings;
    for (const auto& [k, v] : emulator.ClientSettings()) settings[k] = v;
    auto plain = [&](const char* key) {
      return TextToUtf8(SettingsCipher::Instance().Decipher(Utf8ToText(settings[key])));
    };
    EXPECT_EQ(plain("ServerUrl"), servers[0].base + "<EOF>" + servers[1].base + "<EOF>" +
                                      servers[2].base + "<EOF>");
    EXPECT_EQ(plain("BIServer"), servers[0].base);
    EXPECT_EQ(plain("UerSetMeal"), servers[0].base + "/<EOF>" + servers[1].base + "/<EOF>" +
                                       servers[2].base + "/<EOF>");
  }
  std::ifstream in(path);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(json::parse(line)["path"], "/getTime");
  EXPECT_EQ(json::parse(line)["server"], "server3");
  unlink(path);
}

TEST(EmulatorScenario, BrokenScenariosAreReportedNotFatal) {
  const struct {
    const char* json;
    const char* why;
  } kCases[] = {
      {"", "empty"},
      {"[1, 2]", "not an object"},
      {R"({"channels": [{"id": "1"}]})", "channel without a name"},
      {R"({"channels": [{"id": 1, "name": "x"}]})", "id of the wrong kind"},
      {R"({"groups": [{"id": "g", "name": "G", "channels": ["nope"]}]})", "unknown channel in a group"},
      {R"({"channels": [{"id": "1", "name": "x", "guide": [["25:00:00", "t"]]}]})", "bad start time"},
      {R"({"channels": [{"id": "1", "name": "x", "guide": ["06:00:00"]}]})", "slot not a pair"},
      {R"({"servers": [{"faults": {"*": {"mode": "explode"}}}]})", "unknown fault mode"},
      {R"({"servers": [{"port": 70000}]})", "port out of range"},
      {R"({"accounts": [{"user": "u", "kind": "vip"}]})", "unknown account kind"},
      {R"({"ads": [{"id": "../x", "folder": "f"}]})", "advertisement id that climbs out"},
      {R"({"ads": [{"id": "x", "type": 2}]})", "package without a folder"},
      {R"({"update": {"files": [{"name": "a/b"}]}})", "update file name with a folder"},
      {R"({"update": {"files": [{"name": "a", "source": "missing.bin"}]}})", "missing source"},
      {R"({"statistics": {"status": 42}})", "statistics status that is no HTTP status"},
  };
  for (const auto& c : kCases) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(ParseScenario(c.json, kFolder, &s, &error)) << c.why;
    EXPECT_FALSE(error.empty()) << c.why;
  }
  Scenario s;
  std::string error;
  EXPECT_FALSE(LoadScenarioFile(kFolder + "/testdata/none.json", &s, &error));
  ASSERT_TRUE(ParseScenario("{}", kFolder, &s, &error)) << error;
  EXPECT_EQ(s.servers.size(), 1u) << "an empty scenario still serves on one server";
}

TEST(EmulatorScenario, PreparingRejectsAStreamTooLongForTheClient) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario(R"({"channels": [{"id": "1", "name": "x", "stream": ")" +
                                std::string(64, 'a') + "\"}]}",
                            kFolder, &s, &error));
  Emulator emulator(std::move(s));
  EXPECT_FALSE(emulator.Start({}, "", &error));
  EXPECT_NE(error.find("63"), std::string::npos) << error;
}

TEST(EmulatorScenario, DemoScenarioStartsQuicklyAndServesItsCatalogue) {
  Scenario s;
  std::string error;
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(LoadScenarioFile(kFolder + "/scenarios/demo.json", &s, &error)) << error;
  for (ServerSpec& server : s.servers) server.port = 0;  // the demo's fixed ports may be taken
  Emulator emulator(std::move(s));
  ASSERT_TRUE(emulator.Start({}, "", &error)) << error;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));

  auto servers = emulator.Servers();
  ASSERT_GE(servers.size(), 3u);
  httplib::Client client("127.0.0.1", servers[0].port);
  auto auth = client.Get((std::string("/pcAuth.action?terminal=2&ack=") + kAck).c_str());
  ASSERT_TRUE(auth);
  std::string uuid = First(auth->body, "uuid");
  auto catalogue = client.Get(("/pcTv.action?terminal=2&uuid=" + uuid).c_str());
  ASSERT_TRUE(catalogue);
  size_t groups = 0;
  for (size_t p = 0; (p = catalogue->body.find("<group ", p)) != std::string::npos; ++p) ++groups;
  EXPECT_EQ(groups, 6u);
  std::set<std::string> ids;
  for (const std::string& id : All(catalogue->body, "id")) ids.insert(id);
  EXPECT_GE(ids.size(), 30u);
  auto ads = client.Get("/pcAd.action?terminal=2&lang=kr");
  ASSERT_TRUE(ads);
  std::set<std::string> kinds;
  for (const std::string& key : All(ads->body, "key")) kinds.insert(key);
  EXPECT_EQ(kinds.size(), 4u);
  for (const std::string& path : All(ads->body, "filePath")) {
    if (path.find(servers[0].base) != 0) continue;
    auto zip = client.Get(path.substr(servers[0].base.size()).c_str());
    ASSERT_TRUE(zip);
    EXPECT_EQ(zip->status, 200) << path;
  }
}

}  // namespace
}  // namespace kavrel::emulator
