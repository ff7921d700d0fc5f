#include "common/platform/window_message_target.h"

namespace kavrel {

bool WindowMessageTarget::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  return Exists() && PostMessageW(window_, message, static_cast<WPARAM>(wParam),
                                  static_cast<LPARAM>(lParam)) != 0;
}

std::intptr_t WindowMessageTarget::Send(unsigned message, std::uintptr_t wParam,
                                        std::intptr_t lParam) {
  if (!Exists()) return 0;
  return static_cast<std::intptr_t>(
      SendMessageW(window_, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

bool WindowMessageTarget::Exists() const { return window_ && IsWindow(window_); }

}  // namespace kavrel
