#include "common/platform/window_message_target.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

// A real window receives posts in order; once destroyed it no longer exists
// and posts to it are refused.
TEST(WindowMessageTargetTest, PostsToALiveWindowOnly) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  WindowMessageTarget target(window);
  EXPECT_TRUE(target.Exists());
  EXPECT_TRUE(target.Post(WM_APP + 1, 7, -3));
  EXPECT_TRUE(target.Post(WM_APP + 2, 8, 4));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, window, WM_APP, WM_APP + 10, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 1));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(msg.lParam, -3);
  ASSERT_TRUE(PeekMessageW(&msg, window, WM_APP, WM_APP + 10, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 2));
  DestroyWindow(window);
  EXPECT_FALSE(target.Exists());
  EXPECT_FALSE(target.Post(WM_APP + 1, 0, 0));
}

}  // namespace
}  // namespace kavrel
