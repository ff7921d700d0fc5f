// The main window's message numbers that the service client's background
// work reports with (WM_USER = 1024). The main window owns the protocol; the
// service layer only posts these values.
#pragma once

namespace kavrel {

constexpr unsigned WM_UPGRADE_RESULT = 1325;        // sent: lParam 1 forced, 0 optional
constexpr unsigned WM_GUIDE_PLAYING_READY = 1625;   // wParam 1 loaded, 0 failed
constexpr unsigned WM_GUIDE_PLAYLIST_READY = 1626;
constexpr unsigned WM_GUIDE_DAY1_READY = 1627;
constexpr unsigned WM_GUIDE_DAY2_READY = 1628;
constexpr unsigned WM_GUIDE_DAY3_READY = 1629;
constexpr unsigned WM_CATALOGUE_READY = 1725;       // after a background catalogue load
constexpr unsigned WM_CHANNEL_PANEL_REFRESH = 1726;
constexpr unsigned WM_RELOGIN = 1729;               // the device identity was renewed

}  // namespace kavrel
