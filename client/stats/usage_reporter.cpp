#include "client/stats/usage_reporter.h"

#include <utility>

#include "client/foundation/device_identity.h"
#include "client/foundation/settings_file.h"
#include "client/stats/os_display_name.h"
#include "client/stats/usage_post.h"
#include "client/stats/usage_queue_file.h"
#include "client/stats/usage_record.h"
#include "common/platform/code_page.h"
#include "common/platform/http_session.h"
#include "common/platform/stream_socket.h"

namespace kavrel {

Text ReadStatisticsServerAddress(SettingsFile& settings) {
  return settings.ReadValue(kStatisticsServerKey, true);
}

std::int64_t ParseServerTime(TextView answer) {
  std::size_t i = 0;
  while (i < answer.size() && (answer[i] == u' ' || (answer[i] >= u'\t' && answer[i] <= u'\r')))
    ++i;
  bool negative = false;
  if (i < answer.size() && (answer[i] == u'+' || answer[i] == u'-')) {
    negative = answer[i] == u'-';
    ++i;
  }
  // Accumulate as a negative number, whose range is one larger.
  constexpr std::int64_t kMin = INT64_MIN;
  std::int64_t value = 0;
  bool saturated = false;
  for (; i < answer.size() && answer[i] >= u'0' && answer[i] <= u'9'; ++i) {
    const int digit = answer[i] - u'0';
    if (value < (kMin + digit) / 10) {
      saturated = true;
      break;
    }
    value = value * 10 - digit;
  }
  if (saturated) return negative ? INT64_MIN : INT64_MAX;
  if (negative) return value;
  return value == INT64_MIN ? INT64_MAX : -value;
}

std::int64_t TimeOffsetFromServerTime(std::int64_t serverMilliseconds, std::int64_t localNow) {
  // A negative time cannot be the server's clock: treat it as no answer.
  if (serverMilliseconds <= 0) return 0;
  return serverMilliseconds / 1000 - localNow;
}

UsageReporter::UsageReporter(const Text& serverAddress, UsageReporterOptions options)
    : clock_(options.clock ? *options.clock : SystemUsageClock()),
      queueFile_(std::move(options.queueFile)) {
  StartSocketLibrary();
  ParseServerAddress(serverAddress, address_);
  LoadUnsent(queueFile_, unsentRecords);
  macText_ = options.macAddress ? options.macAddress() : MacAddressText();
  timeOffset_ = QueryTimeOffset(serverAddress);
  osName_ = options.osName ? options.osName() : OsDisplayName();
  worker_ = std::thread([this] { WorkerMain(); });
  RecordLaunchTiming(false);
  createdAt_ = clock_.Now();
}

UsageReporter::~UsageReporter() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    shutdown_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

std::int64_t UsageReporter::QueryTimeOffset(const Text& serverAddress) {
  HttpSessionOptions options;
  options.agent = kServerTimeAgent;
  options.connectTimeoutMs = kServerTimeConnectTimeoutMs;
  options.connectRetries = kServerTimeConnectRetries;
  HttpResult result = Http().Open(options)->Get(serverAddress + kServerTimePath);
  // An error page is not the server's time, even when it starts with digits.
  if (!result.ok || result.statusCode != 200) return 0;
  std::string bytes;
  for (char c : result.body) {
    if (c != '\r' && c != '\n') bytes += c;
  }
  Text answer = BytesToText(bytes, kCodePageUtf8);
  const std::size_t nul = answer.find(u'\0');
  if (nul != Text::npos) answer.resize(nul);
  return TimeOffsetFromServerTime(ParseServerTime(answer), clock_.Now());
}

void UsageReporter::RecordLaunchTiming(bool signal) {
  const std::int64_t now = clock_.Now();
  Text body;
  if (!launchRecorded_) {
    launchTime_ = now;
    launchRecorded_ = true;
    body = LaunchBody();
  } else {
    body = LaunchTimingBody(now - launchTime_);
  }
  QueueRecord(body);
  if (signal) Wake();
}

void UsageReporter::RecordServerReached() {
  QueueRecord(ServerReachedBody(clock_.Now() - createdAt_));
  Wake();
}

void UsageReporter::RecordChannelView(const Text& channelKey, const Text& channelName,
                                      const Text& groupId, const Text& groupName,
                                      std::int32_t code) {
  const std::int64_t now = clock_.Now();
  const bool endsAView = channelViewOpen_;
  if (endsAView) {
    QueueRecord(ChannelViewBody(code, channelKey_, channelName_, now - channelViewStart_,
                                groupId_, groupName_));
  }
  channelViewOpen_ = true;
  channelViewStart_ = now;
  channelKey_ = channelKey;
  channelName_ = channelName;
  groupId_ = groupId;
  groupName_ = groupName;
  if (endsAView) Wake();
}

void UsageReporter::RecordExit() {
  stopRequested_ = true;
  QueueRecord(ExitBody());
  Wake();
}

void UsageReporter::QueueRecord(const Text& body) {
  const std::int64_t now = clock_.Now();
  CalendarTime local;
  // By the server's clock when the platform can show that time, else by ours.
  if (!clock_.LocalTime(now + timeOffset_, local) && !clock_.LocalTime(now, local))
    local = CalendarTime();
  Text record = MakeRecord(FormatRecordHeader(macText_, osName_, local), body);
  std::lock_guard<std::mutex> guard(lock_);
  if (finished_) {
    // The worker has saved and ended: the record goes straight to the file.
    SaveUnsent(queueFile_, {record});
    return;
  }
  pendingRecords.push_back(std::move(record));
}

void UsageReporter::Wake() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    wakeSignalled_ = true;
  }
  wake_.notify_one();
}

void UsageReporter::WorkerMain() {
  for (;;) {
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [this] { return wakeSignalled_ || shutdown_; });
      if (shutdown_) break;
      wakeSignalled_ = false;
    }
    SendPending();
    {
      std::lock_guard<std::mutex> guard(lock_);
      ++sendsCompleted_;
    }
    progress_.notify_all();
    if (stopRequested_) {
      // Records that arrived while the last post ran (the exit records, when
      // the closing channel record woke the worker first) get one more post.
      bool late = false;
      {
        std::lock_guard<std::mutex> guard(lock_);
        late = !pendingRecords.empty();
      }
      if (late) SendPending();
      break;
    }
  }
  Finish();
}

void UsageReporter::SendPending() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (Text& record : pendingRecords) unsentRecords.push_back(std::move(record));
    pendingRecords.clear();
  }
  // One post carries as many of the oldest records as fit; further posts
  // follow while the server takes them.
  while (!unsentRecords.empty() && !shutdown_) {
    const std::size_t count = CountRecordsThatFit(unsentRecords);
    if (!Post(EncodePostBody(JoinRecords(unsentRecords, count)))) return;
    unsentRecords.erase(unsentRecords.begin(),
                        unsentRecords.begin() + static_cast<std::ptrdiff_t>(count));
  }
}

bool UsageReporter::Post(const std::string& body) {
  if (address_.host.empty()) return false;
  try {
    HttpSessionOptions options;
    options.connectTimeoutMs = kPostConnectTimeoutMs;
    HttpResult result =
        Http().Open(options)->PostForm(address_.host, address_.port, kCollectObject, body);
    return result.ok && result.statusCode == 200;
  } catch (...) {
    return false;
  }
}

void UsageReporter::Finish() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    // Records queued after the last batch was taken are saved with the rest.
    for (Text& record : pendingRecords) unsentRecords.push_back(std::move(record));
    pendingRecords.clear();
    SaveUnsent(queueFile_, unsentRecords);
    unsentRecords.clear();
    finished_ = true;
  }
  progress_.notify_all();
}

bool UsageReporter::WaitForSends(std::size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock_);
  return progress_.wait_for(guard, timeout,
                            [&] { return sendsCompleted_ >= count || finished_; }) &&
         sendsCompleted_ >= count;
}

bool UsageReporter::WaitUntilFinished(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock_);
  return progress_.wait_for(guard, timeout, [&] { return finished_; });
}

}  // namespace kavrel
