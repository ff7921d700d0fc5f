#include "client/service/upgrade_check.h"

#include "client/service/http_get.h"
#include "client/service/service_messages.h"
#include "common/platform/message_target.h"
#include "common/text/format.h"
#include "common/xml/xml_document.h"

namespace kavrel {

namespace {
char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }
}  // namespace

bool IsNewerVersion(const Text& current, const Text& offered) {
  const std::size_t n = current.size() < offered.size() ? current.size() : offered.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t a = Lower(current[i]);
    const char16_t b = Lower(offered[i]);
    if (a != b) return a < b;
  }
  return current.size() < offered.size();
}

std::unique_ptr<UpgradeCheck> UpgradeCheck::Start(MessageTarget* notifyWindow, const Text& server,
                                                  const Text& currentVersion,
                                                  std::chrono::milliseconds retryInterval) {
  std::unique_ptr<UpgradeCheck> check(
      new UpgradeCheck(notifyWindow, server, currentVersion, retryInterval));
  check->worker_ = std::thread([raw = check.get()] { raw->Run(); });
  return check;
}

UpgradeCheck::UpgradeCheck(MessageTarget* notifyWindow, Text server, Text currentVersion,
                           std::chrono::milliseconds retryInterval)
    : notifyWindow_(notifyWindow),
      server_(std::move(server)),
      currentVersion_(std::move(currentVersion)),
      retryInterval_(retryInterval) {}

UpgradeCheck::~UpgradeCheck() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void UpgradeCheck::Run() {
  const Text address = FormatText(u"%s/pcUpgrade.action?terminal=2&lang=kr", server_);
  Text answer;
  for (;;) {
    Text error;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) {
        finished_ = true;
        changed_.notify_all();
        return;
      }
      ++attempts_;
    }
    if (HttpGetRaw(address, answer, error)) break;
    std::unique_lock<std::mutex> lock(mutex_);
    if (changed_.wait_for(lock, retryInterval_, [this] { return stopping_; })) {
      finished_ = true;
      changed_.notify_all();
      return;
    }
  }

  XmlDocument doc(answer);
  bool newer = false;
  int force = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (doc.FindElement(u"result")) {
      if (doc.FindChildElement(u"version")) version_ = doc.ChildElementText();
      if (doc.FindChildElement(u"upgradeMsg")) upgradeMsg_ = doc.ChildElementText();
      if (doc.FindChildElement(u"forceUpgrade")) forceUpgrade_ = AnswerInteger(doc.ChildElementText());
    }
    newerAvailable_ = IsNewerVersion(currentVersion_, version_);
    newer = newerAvailable_ && !stopping_;
    force = forceUpgrade_;
  }
  // Sent outside the lock: the main window reads UpgradeMessage() meanwhile.
  if (newer && notifyWindow_) notifyWindow_->Send(WM_UPGRADE_RESULT, 0, force);
  std::lock_guard<std::mutex> lock(mutex_);
  finished_ = true;
  changed_.notify_all();
}

Text UpgradeCheck::UpgradeMessage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return upgradeMsg_;
}
Text UpgradeCheck::Version() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return version_;
}
int UpgradeCheck::ForceUpgrade() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return forceUpgrade_;
}
bool UpgradeCheck::NewerAvailable() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return newerAvailable_;
}
bool UpgradeCheck::Finished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}
bool UpgradeCheck::WaitUntilFinished(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return finished_; });
}
int UpgradeCheck::Attempts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return attempts_;
}

}  // namespace kavrel
