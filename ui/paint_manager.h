// CPaintManagerUI: the Windows half of a skinned window's manager. It is
// initialised on a window, turns that window's messages into input events
// for the control tree, lays the tree out on resizes and paints it with GDI
// and GDI+ (pictures: PNG with alpha, BMP, GIF), enforces the skin's
// minimum size and opens combo drop-downs. The window hands every message it
// does not handle completely to MessageHandler. One thread, the window's.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "ui/manager.h"

namespace Gdiplus {
class Bitmap;
}

namespace kavrel {

// A hook that sees messages before they are translated and dispatched.
class IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

 protected:
  ~IMessageFilterUI() = default;
};

class CPaintManagerUI : public CControlManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI() override;

  void Init(HWND hWnd);
  HWND GetPaintWindow() const { return hWnd_; }

  // Offers a window message; true when the manager consumed it, with its
  // result in `result`.
  bool MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

  UiSize GetClientSize() const override;
  void SetMinInfo(UiSize s) override;
  void Invalidate(const UiRect& rect) override;
  void ShowDropDown(CComboUI* combo) override;

  // A picture from the resource path, loaded once; null when it cannot be
  // read (reported once in the failed list).
  Gdiplus::Bitmap* GetImage(const Text& file);
  const std::vector<Text>& FailedImages() const { return failedImages_; }
  HFONT GetHFont(int index);

  bool AddPreMessageFilter(IMessageFilterUI* filter);
  bool RemovePreMessageFilter(IMessageFilterUI* filter);

  // Process-wide: the module whose resources the windows use, its folder,
  // and the message loop with pre-translation.
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  static Text GetInstancePath();
  static bool TranslateMessage(const MSG* msg);
  static void MessageLoop();

  // Draws the tree into `dc` (client coordinates), as WM_PAINT does.
  void PaintTo(HDC dc, const RECT& dirty);

 private:
  HWND hWnd_ = nullptr;
  std::map<Text, std::unique_ptr<Gdiplus::Bitmap>> images_;
  std::vector<Text> failedImages_;
  std::map<int, HFONT> fonts_;
  std::vector<IMessageFilterUI*> preFilters_;
  bool trackingMouse_ = false;
};

}  // namespace kavrel
