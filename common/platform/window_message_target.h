// Windows only: a MessageTarget backed by a window handle.
#pragma once

#include <windows.h>

#include "common/platform/message_target.h"

namespace kavrel {

// Posts and sends to `window`, which the caller owns. Exists() asks whether
// the handle still names a window; posts to a destroyed window are refused.
class WindowMessageTarget : public MessageTarget {
 public:
  explicit WindowMessageTarget(HWND window) : window_(window) {}
  bool Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::intptr_t Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool Exists() const override;
  HWND window() const { return window_; }

 private:
  HWND window_;
};

}  // namespace kavrel
