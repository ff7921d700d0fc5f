// UpgradeCheck: asks the service once per run whether a newer client exists.
//
// A worker thread fetches pcUpgrade.action, retrying after every failure
// until an answer arrives, and when the offered version sorts after the
// running one it sends WM_UPGRADE_RESULT (wParam 0, lParam forceUpgrade) to
// the main window and waits for its handling. The owner keeps the object
// for the run; destroying it stops the retries and waits for the worker
// (at most one request's time-outs). Accessors may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "common/platform/text.h"

namespace kavrel {

class MessageTarget;

// True when `offered` sorts after `current` as text, letters A-Z compared as
// lower case: "1.5.0.6" is newer than "1.5.0.5", "1.5.0.10" is not.
bool IsNewerVersion(const Text& current, const Text& offered);

class UpgradeCheck {
 public:
  static constexpr std::chrono::milliseconds kRetryInterval{30000};

  // Starts the worker. `retryInterval` is the pause after a failed request.
  static std::unique_ptr<UpgradeCheck> Start(MessageTarget* notifyWindow, const Text& server,
                                             const Text& currentVersion,
                                             std::chrono::milliseconds retryInterval = kRetryInterval);
  ~UpgradeCheck();
  UpgradeCheck(const UpgradeCheck&) = delete;
  UpgradeCheck& operator=(const UpgradeCheck&) = delete;

  Text UpgradeMessage() const;
  Text Version() const;
  int ForceUpgrade() const;
  bool NewerAvailable() const;
  // True once the worker has handled an answer (or was stopped).
  bool Finished() const;
  // Waits until Finished() or the time-out; answers Finished().
  bool WaitUntilFinished(std::chrono::milliseconds timeout) const;
  int Attempts() const;

 private:
  UpgradeCheck(MessageTarget* notifyWindow, Text server, Text currentVersion,
               std::chrono::milliseconds retryInterval);
  void Run();

  MessageTarget* const notifyWindow_;
  const Text server_;
  const Text currentVersion_;
  const std::chrono::milliseconds retryInterval_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  bool finished_ = false;
  int attempts_ = 0;
  Text version_;
  Text upgradeMsg_;
  int forceUpgrade_ = 0;
  bool newerAvailable_ = false;
  std::thread worker_;
};

}  // namespace kavrel
