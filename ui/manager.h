// CControlManagerUI: the window-system-free half of a skinned window's
// manager. It owns the attached control tree, knows the controls by name,
// the option groups, the skin's window attributes and fonts, routes input
// events to controls and sends their notifications to the sinks. The
// Windows paint manager derives from it and adds the window, drawing and the
// message loop. Used on one thread, the window's.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "ui/controls.h"

namespace kavrel {

struct UiFont {
  Text face = u"Malgun Gothic";
  int size = 12;  // pixel height
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

class CControlManagerUI {
 public:
  CControlManagerUI();
  virtual ~CControlManagerUI();
  CControlManagerUI(const CControlManagerUI&) = delete;
  CControlManagerUI& operator=(const CControlManagerUI&) = delete;

  // Takes ownership of the tree (the previous one is deleted) and lays it
  // out over the client size. False for a null root.
  bool AttachDialog(CControlUI* root);
  CControlUI* GetRoot() const { return root_.get(); }

  bool AddNotifier(INotifyUI* sink);
  bool RemoveNotifier(INotifyUI* sink);
  // Delivers a notification to every sink, in the order they were added.
  void SendNotify(TNotifyUI& msg);
  void SendNotify(CControlUI* sender, TextView type, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

  CControlUI* FindControl(TextView name) const;
  CControlUI* FindControl(UiPoint p) const;

  // Option groups (kept by the options themselves).
  void AddOptionGroup(const Text& group, COptionUI* option);
  void RemoveOptionGroup(const Text& group, COptionUI* option);
  const std::vector<COptionUI*>* GetOptionGroup(const Text& group) const;

  // Skin window attributes.
  UiSize GetInitSize() const { return initSize_; }
  void SetInitSize(UiSize s) { initSize_ = s; }
  UiSize GetRoundCorner() const { return roundCorner_; }
  void SetRoundCorner(UiSize s) { roundCorner_ = s; }
  UiRect GetSizeBox() const { return sizeBox_; }
  void SetSizeBox(const UiRect& r) { sizeBox_ = r; }
  // Left and right are insets from the client edges, top and bottom absolute.
  UiRect GetCaptionRect() const { return caption_; }
  void SetCaptionRect(const UiRect& r) { caption_ = r; }
  UiSize GetMinInfo() const { return minInfo_; }
  virtual void SetMinInfo(UiSize s) { minInfo_ = s; }
  UiSize GetMaxInfo() const { return maxInfo_; }
  void SetMaxInfo(UiSize s) { maxInfo_ = s; }

  // Fonts by index; index -1 and unknown indexes use the default font.
  int AddFont(const UiFont& font);
  void SetDefaultFont(const UiFont& font);
  const UiFont& GetFont(int index) const;
  int GetFontCount() const { return static_cast<int>(fonts_.size()); }

  // The client area the root fills.
  virtual UiSize GetClientSize() const { return clientSize_; }
  void SetClientSize(UiSize s);
  // Lays the tree out when something asked for it.
  void UpdateLayout(bool force = false);
  void NeedUpdate() { needUpdate_ = true; }
  virtual void Invalidate(const UiRect&) {}

  // Input, in client coordinates. Answers true when a control took it.
  bool MouseDown(UiPoint p);
  bool MouseUp(UiPoint p);
  bool DoubleClick(UiPoint p);
  void MouseMove(UiPoint p);
  bool Char(char16_t ch);
  bool KeyDown(UiKey key);
  bool Wheel(UiPoint p, int delta);

  CControlUI* GetFocus() const { return focus_; }
  void SetFocus(CControlUI* control);
  CControlUI* GetCapture() const { return pushed_; }

  // The folder skins and pictures are read from, with its final separator;
  // shared by every window of the process (set once at start-up).
  static void SetResourcePath(TextView path);
  static const Text& GetResourcePath();
  // `file` when it is absolute, else the resource path followed by it.
  static Text ResolveResource(TextView file);

  // Called by a combo box to open its drop-down; the window system answers.
  virtual void ShowDropDown(CComboUI*) {}
  // Tree bookkeeping, called by controls.
  // Forgets a control that is being deleted (focus, capture, hover).
  void ReapControl(CControlUI* control);

 private:
  std::unique_ptr<CControlUI> root_;
  std::vector<INotifyUI*> notifiers_;
  std::map<Text, std::vector<COptionUI*>> groups_;
  UiSize initSize_;
  UiSize roundCorner_;
  UiRect sizeBox_;
  UiRect caption_;
  UiSize minInfo_;
  UiSize maxInfo_;
  UiFont defaultFont_;
  std::vector<UiFont> fonts_;
  UiSize clientSize_;
  bool needUpdate_ = true;
  CControlUI* focus_ = nullptr;
  CControlUI* pushed_ = nullptr;
  CControlUI* hover_ = nullptr;
};

}  // namespace kavrel
