#include "client/stats/usage_reporter.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "client/stats/post_decoder_for_tests.h"
#include "client/stats/stats_test_support.h"
#include "client/stats/usage_post.h"
#include "common/platform/fake_http.h"
#include "common/platform/files.h"

namespace kavrel {
namespace {

using std::chrono::milliseconds;
using Strings = std::vector<std::string>;

constexpr char16_t kAddress[] = u"http://stats.test:8090";
constexpr char16_t kTimeUrl[] = u"http://stats.test:8090/getTime";
constexpr char16_t kCollectUrl[] = u"http://stats.test:8090/collected";
constexpr milliseconds kWait{10000};

// 2013-07-08 11:05:09 UTC by the server's clock, 509 s ahead of ours.
constexpr std::int64_t kLocalStart = 1373281000;
constexpr char kServerMillis[] = "1373281509000";

std::string Header(const char* time) {
  return std::string(R"({"PC","00-1A-2B-3C-4D-5E","windows","Microsoft Windows 7","zh_CN",")") +
         time + R"(","1"})";
}
std::string Record(const char* time, const std::string& body) {
  return "{" + Header(time) + "," + body + "}";
}
const std::string kLaunch = R"({"00006",{"240007","1.5.0.5","ko"}})";
const std::string kExit = R"({"00007",{"240007","1.5.0.5","ko"}})";

// A gate a fake server answer can wait at until the test opens it.
class Gate {
 public:
  void Arrive() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  bool WaitForArrival() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kWait, [this] { return arrived_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool arrived_ = false;
  bool open_ = false;
};

class UsageReporterTest : public ::testing::Test {
 protected:
  UsageReporterTest() {
    http.Answer(kTimeUrl, kServerMillis);
    http.Answer(kCollectUrl, "ok");
  }

  UsageReporterOptions Options() {
    UsageReporterOptions options;
    options.clock = &clock;
    options.queueFile = queueFile;
    options.macAddress = [] { return Text(u"00-1A-2B-3C-4D-5E"); };
    options.osName = [] { return Text(u"Microsoft Windows 7"); };
    return options;
  }

  // The decoded records of every post so far, one list per post.
  std::vector<Strings> Posts() {
    std::vector<Strings> posts;
    for (const FakeHttpRequest& request : http.Requests()) {
      if (!request.post) continue;
      std::vector<Text> records;
      EXPECT_TRUE(DecodePostBody(request.body, records)) << request.body;
      posts.push_back(U8(records));
    }
    return posts;
  }

  // The records of every post that the server took (status 200), in order.
  Strings Received() {
    Strings all;
    for (const Strings& post : Posts()) all.insert(all.end(), post.begin(), post.end());
    return all;
  }

  Strings QueueFileLines() {
    std::string bytes;
    if (!ReadFileBytes(queueFile, bytes)) return {};
    Strings lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(bytes.substr(start, end - start));
    EXPECT_EQ(start, bytes.size()) << "the last line has no line feed";
    return lines;
  }

  FakeHttp http;
  ManualUsageClock clock{kLocalStart};
  ScratchFolder folder;
  const Text queueFile = folder.File("bi.dat");
};

// The clock query asks "/getTime" with its short time-out; the offset is the
// server time minus ours, and a failing or unreadable answer leaves it 0.
TEST_F(UsageReporterTest, TimeOffsetFromTheServerClock) {
  const struct {
    const char* body;
    int status;  // 0: the connection fails
    std::int64_t offset;
  } cases[] = {
      {kServerMillis, 200, 509},
      {"  +1373281509999\r\n", 200, 509},
      {"1373280000000 ms", 200, -1000},
      {"0", 200, 0},
      {"", 200, 0},
      {"abc", 200, 0},
      {"-1373281509000", 200, 0},
      {"99999999999999999999999", 200, INT64_MAX / 1000 - kLocalStart},
      {"1373281509000", 500, 0},  // an error page is not the server's time
      {"", 0, 0},
  };
  for (const auto& c : cases) {
    http.Forget(kTimeUrl);
    if (c.status == 0) http.Fail(kTimeUrl);
    else http.Answer(kTimeUrl, c.body, c.status);
    UsageReporter reporter(kAddress, Options());
    EXPECT_EQ(reporter.timeOffset(), c.offset) << c.body << " " << c.status;
  }
  const std::vector<FakeHttpRequest> requests = http.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_FALSE(requests[0].post);
  EXPECT_EQ(U8(requests[0].url), U8(kTimeUrl));
  EXPECT_EQ(requests[0].options.connectTimeoutMs, kServerTimeConnectTimeoutMs);
  EXPECT_EQ(requests[0].options.connectRetries, kServerTimeConnectRetries);
  EXPECT_EQ(U8(requests[0].options.agent), "Kavrel");
}

// The launch record waits for the first wake-up; the first post carries it
// and the record that woke the worker, with header times by the server's
// clock (8 minutes 29 seconds ahead of ours).
TEST_F(UsageReporterTest, FirstPostCarriesTheLaunchAndTheWakingRecord) {
  struct Waker {
    const char* name;
    void (*wake)(UsageReporter&);
    std::string body;
  };
  const Waker wakers[] = {
      {"server reached", [](UsageReporter& r) { r.RecordServerReached(); },
       R"({"02008",{"240007","3"}})"},
      {"launch timing", [](UsageReporter& r) { r.RecordLaunchTiming(true); },
       R"({"06001",{"240007","1.5.0.5","ko","3"}})"},
  };
  for (const Waker& waker : wakers) {
    SCOPED_TRACE(waker.name);
    http.ClearRecords();
    clock.Set(kLocalStart);
    UsageReporter reporter(kAddress, Options());
    clock.Advance(3);
    waker.wake(reporter);
    ASSERT_TRUE(reporter.WaitForSends(1, kWait));
    EXPECT_EQ(Posts(), (std::vector<Strings>{{Record("2013-07-08 11:05:09", kLaunch),
                                               Record("2013-07-08 11:05:12", waker.body)}}));
    const std::vector<FakeHttpRequest> requests = http.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(U8(requests[1].url), U8(kCollectUrl));
    EXPECT_EQ(requests[1].options.connectTimeoutMs, kPostConnectTimeoutMs);
    EXPECT_EQ(requests[1].body.compare(0, 4, "mes="), 0);
  }
}

// Two channels, then the exit path: one 02011 per channel with the seconds
// it was watched, then the exit record; nothing is left for the queue file.
TEST_F(UsageReporterTest, TwoChannelsThenExit) {
  UsageReporter reporter(kAddress, Options());
  reporter.RecordServerReached();
  ASSERT_TRUE(reporter.WaitForSends(1, kWait));
  reporter.RecordChannelView(u"11r1", u"KBS 1", u"g1", u"뉴스", 0);
  clock.Advance(60);
  reporter.RecordChannelView(u"12r1", u"EBS", u"", u"", 0);
  ASSERT_TRUE(reporter.WaitForSends(2, kWait));
  clock.Advance(30);
  reporter.RecordChannelView(u"", u"", u"", u"", 7);
  reporter.RecordExit();
  ASSERT_TRUE(reporter.WaitUntilFinished(kWait));

  EXPECT_EQ(Received(),
            (Strings{Record("2013-07-08 11:05:09", kLaunch),
                     Record("2013-07-08 11:05:09", R"({"02008",{"240007","0"}})"),
                     Record("2013-07-08 11:06:09",
                            R"({"02011",{"0","240007","11r1","KBS 1","60","g1","뉴스"}})"),
                     Record("2013-07-08 11:06:39",
                            R"({"02011",{"7","240007","12r1","EBS","30","",""}})"),
                     Record("2013-07-08 11:06:39", kExit)}));
  EXPECT_FALSE(FileExists(queueFile));
}

// Exit without any channel played: the closing channel call makes no
// record, only the exit record follows.
TEST_F(UsageReporterTest, ExitWithoutAChannel) {
  UsageReporter reporter(kAddress, Options());
  reporter.RecordServerReached();
  ASSERT_TRUE(reporter.WaitForSends(1, kWait));
  reporter.RecordChannelView(u"", u"", u"", u"", 0);
  reporter.RecordExit();
  ASSERT_TRUE(reporter.WaitUntilFinished(kWait));
  EXPECT_EQ(Posts(), (std::vector<Strings>{
                         {Record("2013-07-08 11:05:09", kLaunch),
                          Record("2013-07-08 11:05:09", R"({"02008",{"240007","0"}})")},
                         {Record("2013-07-08 11:05:09", kExit)}}));
}

// A whole run without a server leaves every record in the queue file, one
// per line (a record of several kilobytes whole); the next run sends them
// before its own.
TEST_F(UsageReporterTest, UnreachableServerKeepsEveryRecordForTheNextRun) {
  const Text longName(1500, u'k');
  http.Forget(kTimeUrl);
  http.Forget(kCollectUrl);
  http.Fail(u"http://stats.test:8090/");
  Strings firstRun;
  {
    UsageReporter reporter(kAddress, Options());
    EXPECT_EQ(reporter.timeOffset(), 0);
    reporter.RecordServerReached();
    reporter.RecordChannelView(u"11r1", longName, u"g1", u"news", 0);
    clock.Advance(5);
    reporter.RecordChannelView(u"12r1", u"EBS", u"", u"", 0);
    reporter.RecordChannelView(u"", u"", u"", u"", 0);
    reporter.RecordExit();
    ASSERT_TRUE(reporter.WaitUntilFinished(kWait));
    firstRun = {Record("2013-07-08 10:56:40", kLaunch),
                Record("2013-07-08 10:56:40", R"({"02008",{"240007","0"}})"),
                Record("2013-07-08 10:56:45", R"({"02011",{"0","240007","11r1",")" +
                                                    U8(longName) + R"(","5","g1","news"}})"),
                Record("2013-07-08 10:56:45", R"({"02011",{"0","240007","12r1","EBS","0","",""}})"),
                Record("2013-07-08 10:56:45", kExit)};
    EXPECT_EQ(QueueFileLines(), firstRun);
  }

  http.Forget(u"http://stats.test:8090/");
  http.Answer(kTimeUrl, kServerMillis);
  http.Answer(kCollectUrl, "ok");
  http.ClearRecords();
  clock.Set(kLocalStart);
  UsageReporter next(kAddress, Options());
  EXPECT_FALSE(FileExists(queueFile));
  next.RecordServerReached();
  ASSERT_TRUE(next.WaitForSends(1, kWait));
  Strings expected = firstRun;
  expected.push_back(Record("2013-07-08 11:05:09", kLaunch));
  expected.push_back(Record("2013-07-08 11:05:09", R"({"02008",{"240007","0"}})"));
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0], expected);
}

// An answer other than 200 keeps the records; the next wake-up posts them
// again with the new ones.
TEST_F(UsageReporterTest, RefusedPostIsRetriedWithTheNextRecords) {
  http.Forget(kCollectUrl);
  http.Answer(kCollectUrl, "busy", 503);
  UsageReporter reporter(kAddress, Options());
  reporter.RecordServerReached();
  ASSERT_TRUE(reporter.WaitForSends(1, kWait));
  http.Forget(kCollectUrl);
  http.Answer(kCollectUrl, "ok");
  reporter.RecordLaunchTiming(true);
  ASSERT_TRUE(reporter.WaitForSends(2, kWait));
  const std::vector<Strings> posts = Posts();
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[0].size(), 2u);
  ASSERT_EQ(posts[1].size(), 3u);
  EXPECT_EQ(posts[1][0], posts[0][0]);
  EXPECT_EQ(posts[1][1], posts[0][1]);
  EXPECT_NE(posts[1][2].find("06001"), std::string::npos);
}

// Exit records that arrive while the worker's post is running still reach
// the server in one more post; a record that arrives while that last post
// runs, or after the worker ended, goes to the queue file.
TEST_F(UsageReporterTest, RecordsAfterTheLastBatchAreNotLost) {
  Gate channelPost, exitPost;
  int calls = 0;
  http.Forget(kCollectUrl);
  http.Respond(kCollectUrl, [&](const FakeHttpRequest&) {
    ++calls;  // only the worker posts
    if (calls == 1) channelPost.Arrive();
    if (calls == 2) exitPost.Arrive();
    return HttpAnswer("ok");
  });
  UsageReporter reporter(kAddress, Options());
  reporter.RecordChannelView(u"11r1", u"KBS 1", u"", u"", 0);
  reporter.RecordChannelView(u"", u"", u"", u"", 0);  // wakes the worker
  ASSERT_TRUE(channelPost.WaitForArrival());
  reporter.RecordExit();  // while the 02011 post runs
  channelPost.Open();
  ASSERT_TRUE(exitPost.WaitForArrival());
  reporter.RecordLaunchTiming(false);  // while the last post runs
  exitPost.Open();
  ASSERT_TRUE(reporter.WaitUntilFinished(kWait));
  reporter.RecordServerReached();  // after the worker ended

  const std::vector<Strings> posts = Posts();
  ASSERT_EQ(posts.size(), 2u);
  EXPECT_EQ(posts[1], (Strings{Record("2013-07-08 11:05:09", kExit)}));
  EXPECT_EQ(QueueFileLines(),
            (Strings{Record("2013-07-08 11:05:09", R"({"06001",{"240007","1.5.0.5","ko","0"}})"),
                     Record("2013-07-08 11:05:09", R"({"02008",{"240007","0"}})")}));
}

// A backlog larger than one post may carry goes out as several posts of the
// oldest records that fit, in order; when the server stops taking them, the
// rest is saved at exit. No record is dropped.
TEST_F(UsageReporterTest, LargeBacklogIsSentInPostsThatFit) {
  http.Forget(kCollectUrl);
  // The first post is refused, and held until the test has queued the whole
  // backlog, so that no later post can be chosen from a partial queue; the
  // next two are taken; the rest refused.
  std::mutex gateMutex;
  std::condition_variable gateChanged;
  bool backlogQueued = false;
  int calls = 0;
  std::vector<int> accepted;  // ordinals of the posts the server took
  http.Respond(kCollectUrl, [&](const FakeHttpRequest&) {
    std::unique_lock<std::mutex> lock(gateMutex);
    const int call = ++calls;
    if (call == 1) gateChanged.wait(lock, [&] { return backlogQueued; });
    if (call == 2 || call == 3) {
      accepted.push_back(call);
      return HttpAnswer("", 200);
    }
    return HttpAnswer("", 500);
  });
  UsageReporter reporter(kAddress, Options());
  const Text name(1500, u'한');  // 4,500 bytes of UTF-8 per record
  reporter.RecordChannelView(u"0", name, u"", u"", 0);
  for (int i = 1; i <= 60; ++i)
    reporter.RecordChannelView(AsciiToText(std::to_string(i)), name, u"", u"", 0);
  {
    std::lock_guard<std::mutex> lock(gateMutex);
    backlogQueued = true;
  }
  gateChanged.notify_all();
  ASSERT_TRUE(reporter.WaitForSends(1, kWait));  // at least the first, refused post ran
  reporter.RecordExit();
  ASSERT_TRUE(reporter.WaitUntilFinished(kWait));

  const std::vector<FakeHttpRequest> requests = http.Requests();
  Strings taken;
  int post = 0;
  for (const FakeHttpRequest& request : requests) {
    if (!request.post) continue;
    ++post;
    std::vector<Text> records;
    ASSERT_TRUE(DecodePostBody(request.body, records));
    EXPECT_LE(TextToUtf8(JoinRecords(records, records.size())).size(), kMaxPayloadBytes);
    if (std::find(accepted.begin(), accepted.end(), post) != accepted.end()) {
      // A post that fits holds as many records as fit, not fewer.
      EXPECT_GE(records.size(), 20u);
      for (const Text& r : records) taken.push_back(U8(r));
    }
  }
  ASSERT_EQ(accepted.size(), 2u);
  ASSERT_GE(post, 4);
  Strings all = taken;
  const Strings saved = QueueFileLines();
  all.insert(all.end(), saved.begin(), saved.end());
  ASSERT_EQ(all.size(), 62u);  // 00006, 60 channel records, 00007
  EXPECT_NE(all[0].find("00006"), std::string::npos);
  for (int i = 1; i <= 60; ++i) {
    const std::string key = "\"240007\",\"" + std::to_string(i - 1) + "\"";
    EXPECT_NE(all[i].find(key), std::string::npos) << "record " << i;
  }
  EXPECT_NE(all[61].find("00007"), std::string::npos);
}

// An address without a scheme names no server: nothing is posted and the
// records wait in the queue file.
TEST_F(UsageReporterTest, UnusableAddressKeepsTheRecords) {
  {
    UsageReporter reporter(u"stats.test:8090", Options());
    reporter.RecordServerReached();
    reporter.RecordExit();
    ASSERT_TRUE(reporter.WaitUntilFinished(kWait));
  }
  EXPECT_TRUE(Posts().empty());
  EXPECT_EQ(QueueFileLines().size(), 3u);
}

}  // namespace
}  // namespace kavrel
