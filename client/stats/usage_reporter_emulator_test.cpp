// The reporter against the service emulator's statistics server on loopback,
// through the real HTTP seam: what the server decoded is what was recorded.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <ctime>

#include "client/stats/stats_test_support.h"
#include "client/stats/usage_reporter.h"
#include "common/platform/files.h"
#include "tools/service-emulator/emulator.h"

namespace kavrel {
namespace {

using emulator::Emulator;
using nlohmann::json;
using Strings = std::vector<std::string>;
constexpr std::chrono::milliseconds kWait{10000};

class UsageReporterEmulatorTest : public ::testing::Test {
 protected:
  void StartEmulator(std::int64_t timeShiftMs = 0) {
    emulator::Scenario scenario;
    emulator::ServerSpec server;
    server.name = "stats";
    scenario.servers.push_back(server);
    scenario.statsTimeShiftMs = timeShiftMs;
    server_ = std::make_unique<Emulator>(std::move(scenario));
    std::string error;
    ASSERT_TRUE(server_->Start({}, "", &error)) << error;
    address = Utf8ToText(server_->Servers()[0].base);
  }

  UsageReporterOptions Options() {
    UsageReporterOptions options;
    options.clock = &clock;
    options.queueFile = queueFile;
    options.macAddress = [] { return Text(u"00-1A-2B-3C-4D-5E"); };
    options.osName = [] { return Text(); };
    return options;
  }

  // The log entries of the posts to "collected".
  std::vector<json> Posts() {
    std::vector<json> posts;
    for (const std::string& line : server_->Log()) {
      json entry = json::parse(line);
      if (entry["path"] == "/collected") posts.push_back(entry);
    }
    return posts;
  }

  // The bodies ("{"00006",...}") of every record the server decoded.
  Strings ReceivedBodies() {
    Strings bodies;
    for (const json& post : Posts()) {
      EXPECT_FALSE(post.contains("decodeError")) << post.dump();
      for (const json& item : post["records"]) {
        const std::string record = item.get<std::string>();
        const std::size_t comma = record.find("},{");
        bodies.push_back(comma == std::string::npos
                             ? record
                             : record.substr(comma + 2, record.size() - comma - 3));
      }
    }
    return bodies;
  }

  std::unique_ptr<Emulator> server_;
  Text address;
  ManualUsageClock clock{static_cast<std::int64_t>(std::time(nullptr))};
  ScratchFolder folder;
  const Text queueFile = folder.File("bi.dat");
};

const std::string kLaunch = R"({"00006",{"240007","1.5.0.5","ko"}})";
const std::string kExit = R"({"00007",{"240007","1.5.0.5","ko"}})";

// A whole run: the first post carries the launch and the record that woke
// the worker; two channels and the exit give two 02011 records and a 00007.
TEST_F(UsageReporterEmulatorTest, WholeRunReachesTheServer) {
  StartEmulator();
  UsageReporter reporter(address, Options());
  clock.Advance(2);
  reporter.RecordServerReached();
  ASSERT_TRUE(reporter.WaitForSends(1, kWait));
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(ReceivedBodies(), (Strings{kLaunch, R"({"02008",{"240007","2"}})"}));

  reporter.RecordChannelView(u"11r1", u"KBS 1", u"g1", u"뉴스", 0);
  clock.Advance(40);
  reporter.RecordChannelView(u"12r1", u"EBS", u"", u"", 0);
  ASSERT_TRUE(reporter.WaitForSends(2, kWait));
  clock.Advance(15);
  reporter.RecordChannelView(u"", u"", u"", u"", 0);
  reporter.RecordExit();
  ASSERT_TRUE(reporter.WaitUntilFinished(kWait));
  EXPECT_EQ(ReceivedBodies(),
            (Strings{kLaunch, R"({"02008",{"240007","2"}})",
                     R"({"02011",{"0","240007","11r1","KBS 1","40","g1","뉴스"}})",
                     R"({"02011",{"0","240007","12r1","EBS","15","",""}})", kExit}));
  EXPECT_FALSE(FileExists(queueFile));
}

// Exit without a channel: only the exit record follows the first post.
TEST_F(UsageReporterEmulatorTest, ExitWithoutAChannel) {
  StartEmulator();
  UsageReporter reporter(address, Options());
  reporter.RecordLaunchTiming(true);
  ASSERT_TRUE(reporter.WaitForSends(1, kWait));
  reporter.RecordChannelView(u"", u"", u"", u"", 0);
  reporter.RecordExit();
  ASSERT_TRUE(reporter.WaitUntilFinished(kWait));
  EXPECT_EQ(ReceivedBodies(),
            (Strings{kLaunch, R"({"06001",{"240007","1.5.0.5","ko","0"}})", kExit}));
}

// With the server down for a whole run every record waits in bi.dat; the
// next run sends them with its own.
TEST_F(UsageReporterEmulatorTest, DownServerThenNextRun) {
  StartEmulator();
  ASSERT_TRUE(server_->SetDown("stats", true));
  {
    UsageReporter reporter(address, Options());
    EXPECT_EQ(reporter.timeOffset(), 0);
    reporter.RecordServerReached();
    reporter.RecordChannelView(u"11r1", u"KBS 1", u"", u"", 0);
    reporter.RecordChannelView(u"", u"", u"", u"", 0);
    reporter.RecordExit();
    ASSERT_TRUE(reporter.WaitUntilFinished(kWait));
  }
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(queueFile, bytes));
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 4);

  ASSERT_TRUE(server_->SetDown("stats", false));
  UsageReporter next(address, Options());
  next.RecordServerReached();
  ASSERT_TRUE(next.WaitForSends(1, kWait));
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(ReceivedBodies(),
            (Strings{kLaunch, R"({"02008",{"240007","0"}})",
                     R"({"02011",{"0","240007","11r1","KBS 1","0","",""}})", kExit, kLaunch,
                     R"({"02008",{"240007","0"}})"}));
}

// The offset follows the server's clock; an error page or a silent server
// leaves it 0.
TEST_F(UsageReporterEmulatorTest, TimeOffsetFromGetTime) {
  StartEmulator(3600 * 1000);
  {
    UsageReporter reporter(address, Options());
    EXPECT_NEAR(static_cast<double>(reporter.timeOffset()), 3600.0, 3.0);
  }
  const emulator::FaultMode faults[] = {emulator::FaultMode::kError,
                                        emulator::FaultMode::kNothing,
                                        emulator::FaultMode::kMalformed};
  for (emulator::FaultMode mode : faults) {
    emulator::Fault fault;
    fault.mode = mode;
    ASSERT_TRUE(server_->SetFault("stats", "getTime", fault));
    UsageReporter reporter(address, Options());
    EXPECT_EQ(reporter.timeOffset(), 0) << emulator::FaultModeName(mode);
  }
}

// Records whose Base64 holds "+" and "=" arrive as %2D and %3D and decode
// back to the same text. A run of six or more "~" always holds an aligned
// "~~~" (Base64 "fn5+"); names of three lengths give every padding (the last channel is still open).
TEST_F(UsageReporterEmulatorTest, PlusAndPaddingSurviveTheWire) {
  StartEmulator();
  UsageReporter reporter(address, Options());
  reporter.RecordChannelView(u"0", u"", u"", u"", 0);
  std::size_t sends = 0;
  for (std::size_t length : {9, 10, 11, 12}) {
    reporter.RecordChannelView(AsciiToText(std::to_string(length)), Text(length, u'~'), u"", u"",
                               0);
    ASSERT_TRUE(reporter.WaitForSends(++sends, kWait));
  }
  const std::vector<json> posts = Posts();
  ASSERT_EQ(posts.size(), 4u);
  bool padded = false;
  for (std::size_t i = 1; i < posts.size(); ++i) {  // the posts of the "~" channels
    const std::string body = posts[i]["body"];
    EXPECT_NE(body.find("%2D"), std::string::npos) << body;
    padded = padded || body.find("%3D") != std::string::npos;
  }
  EXPECT_TRUE(padded);
  const Strings bodies = ReceivedBodies();
  ASSERT_EQ(bodies.size(), 5u);  // the launch record rides with the first
  EXPECT_EQ(bodies[1], R"({"02011",{"0","240007","0","","0","",""}})");
  EXPECT_EQ(bodies[2], R"({"02011",{"0","240007","9",")" + std::string(9, '~') +
                           R"(","0","",""}})");
}

}  // namespace
}  // namespace kavrel
