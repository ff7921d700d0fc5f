// The notices the download client and the plan download post to the updater
// window (WM_USER + 4098 ...). The window's handling of them lives with it.
#pragma once

namespace kavrel {

constexpr unsigned kWmUser = 0x0400;

// wParam: number of plan entries; lParam: total length (low 32 bits).
constexpr unsigned WM_UPD_PLAN_READY = kWmUser + 4098;  // 5122
// The free space is smaller than the plan.
constexpr unsigned WM_UPD_NEED_SPACE = kWmUser + 4099;  // 5123
// wParam: entries downloaded; lParam: number of plan entries.
constexpr unsigned WM_UPD_DOWNLOADS_DONE = kWmUser + 4100;  // 5124
// wParam: entries downloaded so far; lParam: number of plan entries.
constexpr unsigned WM_UPD_FILE_START = kWmUser + 4101;  // 5125
// wParam: body bytes so far; lParam: content length (0 when unknown).
constexpr unsigned WM_UPD_PROGRESS = kWmUser + 4102;  // 5126
// A request failed.
constexpr unsigned WM_UPD_FAILED = kWmUser + 4104;  // 5128

}  // namespace kavrel
