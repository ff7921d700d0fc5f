// The message-target seam: where background work reports to a window.
//
// Worker threads never touch a window; they Post (or, where the caller says
// so, Send) a message number with two values to a MessageTarget. On Windows
// the target is a window handle (window_message_target.h); tests use the
// RecordingMessageTarget below. Every operation may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace kavrel {

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  // Queues the message and returns at once; false when it could not be queued.
  virtual bool Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Delivers the message and waits for the answer of its handler.
  virtual std::intptr_t Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // True while the target can still receive messages (the window exists).
  virtual bool Exists() const = 0;
};

// Records every message, in order, for tests to inspect. Send answers through
// an optional handler (0 without one). SetExists(false) plays a closed window:
// posts and sends are then refused and not recorded.
class RecordingMessageTarget : public MessageTarget {
 public:
  struct Message {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool sent;  // Send rather than Post
    bool operator==(const Message& o) const {
      return message == o.message && wParam == o.wParam && lParam == o.lParam && sent == o.sent;
    }
  };
  using Handler = std::function<std::intptr_t(const Message&)>;

  bool Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!exists_) return false;
    messages_.push_back({message, wParam, lParam, false});
    return true;
  }
  std::intptr_t Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    Handler handler;
    Message m{message, wParam, lParam, true};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!exists_) return 0;
      messages_.push_back(m);
      handler = handler_;
    }
    return handler ? handler(m) : 0;
  }
  bool Exists() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return exists_;
  }

  void SetExists(bool exists) {
    std::lock_guard<std::mutex> lock(mutex_);
    exists_ = exists;
  }
  void SetSendHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
  }
  std::vector<Message> Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  // The recorded messages with number `message`, in order.
  std::vector<Message> MessagesOf(unsigned message) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Message> out;
    for (const Message& m : messages_)
      if (m.message == message) out.push_back(m);
    return out;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  Handler handler_;
  bool exists_ = true;
};

}  // namespace kavrel
