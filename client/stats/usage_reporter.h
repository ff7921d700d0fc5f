// UsageReporter: reports the client's usage events to the statistics server.
//
// Each record operation formats one record (see usage_record.h) with the
// time by the server's clock and queues it; a worker thread of the reporter,
// when woken, posts every record not yet delivered to "collected" on the
// statistics server. Records the server did not take (no server, no network,
// an answer other than 200) stay queued and are retried with the next post;
// when the worker ends they are appended to the queue file (bi.dat), from
// which the next reporter takes them over at construction.
//
// Nothing is lost on the way: records that arrive while the last post runs
// get one more post, and whatever arrives after that goes to the queue file
// as well; every record is saved whole; and when the queue is larger than
// one post may carry, the oldest records that fit are posted and the rest
// follow in further posts.
//
// Threads: construction and the record operations belong to one thread (the
// user-interface thread); they only format and append under a short lock.
// The posts run on the worker, outside the lock. The client never destroys
// its reporter; the destructor (for tests and tools) ends the worker without
// further posts, saving what is undelivered, and waits for it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/stats/server_address.h"
#include "client/stats/usage_clock.h"
#include "common/platform/text.h"

namespace kavrel {

class SettingsFile;

// The settings key of the statistics server's address, stored enciphered.
constexpr char16_t kStatisticsServerKey[] = u"BIServer";

// The statistics server's address from `settings` (deciphered).
Text ReadStatisticsServerAddress(SettingsFile& settings);

// The clock query: "/getTime" with a short connect time-out, one attempt.
constexpr char16_t kServerTimePath[] = u"/getTime";
constexpr std::uint32_t kServerTimeConnectTimeoutMs = 500;
constexpr std::uint32_t kServerTimeConnectRetries = 1;
// The agent of the clock query, as of every service request.
constexpr char16_t kServerTimeAgent[] = u"Kavrel";

// The post of the records.
constexpr char16_t kCollectObject[] = u"collected";
constexpr std::uint32_t kPostConnectTimeoutMs = 2000;

// The answer of "/getTime" as a decimal number: leading white space and a
// sign allowed, reading stops at the first other character, out-of-range
// values saturate; 0 when there is no number.
std::int64_t ParseServerTime(TextView answer);

// Server time minus local time, in whole seconds, from the server's time in
// milliseconds; 0 (unknown) when the answer is not a positive number.
std::int64_t TimeOffsetFromServerTime(std::int64_t serverMilliseconds, std::int64_t localNow);

struct UsageReporterOptions {
  UsageClock* clock = nullptr;          // null: the system clock; must outlive the reporter
  Text queueFile = u"bi.dat";           // relative paths: the process's current folder
  std::function<Text()> macAddress;     // null: MacAddressText()
  std::function<Text()> osName;         // null: OsDisplayName()
};

class UsageReporter {
 public:
  // `serverAddress` is the "BIServer" setting, for example
  // "http://stats.example:8080". Takes over the queue file (and deletes it),
  // asks the server for its time, starts the worker and queues the launch
  // record without sending it. Blocks for the clock query (at most about the
  // 500 ms connect time-out when the server cannot be reached).
  explicit UsageReporter(const Text& serverAddress, UsageReporterOptions options = {});
  ~UsageReporter();
  UsageReporter(const UsageReporter&) = delete;
  UsageReporter& operator=(const UsageReporter&) = delete;

  // The first call queues the launch record (00006); every later call queues
  // the seconds since then (06001). Wakes the worker when `signal`.
  void RecordLaunchTiming(bool signal);

  // Queues the seconds since construction (02008) and wakes the worker.
  void RecordServerReached();

  // Called when a channel starts, and at exit with empty texts. The first
  // call only remembers the channel; each later call queues a record of the
  // channel remembered until then, how long it was watched and `code`
  // (02011), wakes the worker and remembers the new channel.
  void RecordChannelView(const Text& channelKey, const Text& channelName, const Text& groupId,
                         const Text& groupName, std::int32_t code);

  // Queues the exit record (00007) and wakes the worker for its last post,
  // after which it saves whatever is undelivered and ends.
  void RecordExit();

  // Server time minus local time in seconds (0 when unknown).
  std::int64_t timeOffset() const { return timeOffset_; }

  // Waits until the worker has handled `count` wake-ups in all (a wake-up is
  // one or more posts, or none when nothing was queued). False on time-out.
  bool WaitForSends(std::size_t count, std::chrono::milliseconds timeout);

  // Waits until the worker has ended and saved what was undelivered.
  bool WaitUntilFinished(std::chrono::milliseconds timeout);

 private:
  void QueueRecord(const Text& body);
  void Wake();
  void WorkerMain();
  void SendPending();
  bool Post(const std::string& body);
  void Finish();
  std::int64_t QueryTimeOffset(const Text& serverAddress);

  UsageClock& clock_;
  const Text queueFile_;

  // Record-operation state (the owner's thread).
  bool launchRecorded_ = false;
  bool channelViewOpen_ = false;
  std::int64_t createdAt_ = 0;
  std::int64_t launchTime_ = 0;
  std::int64_t channelViewStart_ = 0;
  Text channelKey_, channelName_, groupId_, groupName_;
  Text osName_;
  Text macText_;
  std::int64_t timeOffset_ = 0;
  ServerAddress address_;

  std::atomic<bool> stopRequested_{false};

  // Guards everything below, shared with the worker.
  std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable progress_;
  std::vector<Text> pendingRecords;
  bool wakeSignalled_ = false;  // an event with automatic reset
  std::atomic<bool> shutdown_{false};  // the destructor asks the worker to end
  bool finished_ = false;       // the worker has saved and ended
  std::size_t sendsCompleted_ = 0;

  // The worker's own.
  std::vector<Text> unsentRecords;

  std::thread worker_;
};

}  // namespace kavrel
