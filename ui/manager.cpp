#include "ui/manager.h"

#include <algorithm>

namespace kavrel {

CControlManagerUI::CControlManagerUI() = default;

CControlManagerUI::~CControlManagerUI() {
  // Controls reach back to the manager while they are deleted.
  root_.reset();
}

bool CControlManagerUI::AttachDialog(CControlUI* root) {
  if (!root) return false;
  focus_ = pushed_ = hover_ = nullptr;
  root_.reset();
  groups_.clear();
  root_.reset(root);
  root->SetManager(this, nullptr);
  UpdateLayout(true);
  return true;
}

bool CControlManagerUI::AddNotifier(INotifyUI* sink) {
  if (!sink || std::find(notifiers_.begin(), notifiers_.end(), sink) != notifiers_.end()) return false;
  notifiers_.push_back(sink);
  return true;
}

bool CControlManagerUI::RemoveNotifier(INotifyUI* sink) {
  auto it = std::find(notifiers_.begin(), notifiers_.end(), sink);
  if (it == notifiers_.end()) return false;
  notifiers_.erase(it);
  return true;
}

void CControlManagerUI::SendNotify(TNotifyUI& msg) {
  // A sink may add or remove sinks while it handles the notification.
  std::vector<INotifyUI*> sinks = notifiers_;
  for (INotifyUI* sink : sinks) {
    if (std::find(notifiers_.begin(), notifiers_.end(), sink) != notifiers_.end()) sink->Notify(msg);
  }
}

void CControlManagerUI::SendNotify(CControlUI* sender, TextView type, std::uintptr_t wParam, std::intptr_t lParam) {
  TNotifyUI msg;
  msg.sType = Text(type);
  msg.pSender = sender;
  msg.wParam = wParam;
  msg.lParam = lParam;
  SendNotify(msg);
}

CControlUI* CControlManagerUI::FindControl(TextView name) const {
  if (!root_ || name.empty()) return nullptr;
  return root_->Find([name](CControlUI* c) { return c->GetName() == name; });
}

CControlUI* CControlManagerUI::FindControl(UiPoint p) const {
  return root_ ? root_->FindControl(p) : nullptr;
}

void CControlManagerUI::AddOptionGroup(const Text& group, COptionUI* option) {
  auto& members = groups_[group];
  if (std::find(members.begin(), members.end(), option) == members.end()) members.push_back(option);
}

void CControlManagerUI::RemoveOptionGroup(const Text& group, COptionUI* option) {
  auto it = groups_.find(group);
  if (it == groups_.end()) return;
  auto& members = it->second;
  members.erase(std::remove(members.begin(), members.end(), option), members.end());
  if (members.empty()) groups_.erase(it);
}

const std::vector<COptionUI*>* CControlManagerUI::GetOptionGroup(const Text& group) const {
  auto it = groups_.find(group);
  return it == groups_.end() ? nullptr : &it->second;
}

int CControlManagerUI::AddFont(const UiFont& font) {
  fonts_.push_back(font);
  return static_cast<int>(fonts_.size()) - 1;
}

void CControlManagerUI::SetDefaultFont(const UiFont& font) { defaultFont_ = font; }

const UiFont& CControlManagerUI::GetFont(int index) const {
  if (index < 0 || index >= GetFontCount()) return defaultFont_;
  return fonts_[static_cast<size_t>(index)];
}

void CControlManagerUI::SetClientSize(UiSize s) {
  if (s.cx < 0) s.cx = 0;
  if (s.cy < 0) s.cy = 0;
  if (s == clientSize_) return;
  clientSize_ = s;
  needUpdate_ = true;
}

void CControlManagerUI::UpdateLayout(bool force) {
  if (!root_ || !(needUpdate_ || force)) return;
  needUpdate_ = false;
  UiSize s = GetClientSize();
  if (root_->IsPositionedByApplication()) {
    root_->Arrange(root_->GetPos());
  } else {
    root_->Arrange(UiRect{0, 0, s.cx, s.cy});
  }
  Invalidate(UiRect{0, 0, s.cx, s.cy});
}

namespace {

// Mouse-transparent controls hand their events to the first parent that
// takes them.
CControlUI* MouseTarget(CControlUI* c) {
  while (c && !c->IsMouseEnabled()) c = c->GetParent();
  return c;
}

}  // namespace

bool CControlManagerUI::MouseDown(UiPoint p) {
  UpdateLayout();
  CControlUI* c = MouseTarget(FindControl(p));
  if (!c) return false;
  if (!c->IsEnabled()) return true;
  pushed_ = c;
  SetFocus(c->WantsFocus() ? c : nullptr);
  UiEvent e;
  e.type = UiEvent::kButtonDown;
  e.point = p;
  c->DoEvent(e);
  return true;
}

bool CControlManagerUI::MouseUp(UiPoint p) {
  CControlUI* c = pushed_;
  pushed_ = nullptr;
  if (!c) return false;
  UiEvent e;
  e.type = UiEvent::kButtonUp;
  e.point = p;
  c->DoEvent(e);
  return true;
}

bool CControlManagerUI::DoubleClick(UiPoint p) {
  UpdateLayout();
  CControlUI* c = MouseTarget(FindControl(p));
  if (!c) return false;
  if (!c->IsEnabled()) return true;
  pushed_ = c;
  UiEvent e;
  e.type = UiEvent::kDoubleClick;
  e.point = p;
  c->DoEvent(e);
  return true;
}

void CControlManagerUI::MouseMove(UiPoint p) {
  CControlUI* c = MouseTarget(FindControl(p));
  if (c && !c->IsEnabled()) c = nullptr;
  if (c == hover_) return;
  UiEvent e;
  e.point = p;
  if (CControlUI* old = hover_) {
    hover_ = nullptr;
    e.type = UiEvent::kMouseLeave;
    old->DoEvent(e);
  }
  hover_ = c;
  if (c) {
    e.type = UiEvent::kMouseEnter;
    c->DoEvent(e);
  }
}

bool CControlManagerUI::Char(char16_t ch) {
  if (!focus_) return false;
  UiEvent e;
  e.type = UiEvent::kChar;
  e.ch = ch;
  focus_->DoEvent(e);
  return true;
}

bool CControlManagerUI::KeyDown(UiKey key) {
  if (!focus_) return false;
  UiEvent e;
  e.type = UiEvent::kKeyDown;
  e.key = key;
  focus_->DoEvent(e);
  return true;
}

bool CControlManagerUI::Wheel(UiPoint p, int delta) {
  for (CControlUI* c = FindControl(p); c; c = c->GetParent()) {
    if (dynamic_cast<CListUI*>(c)) {
      UiEvent e;
      e.type = UiEvent::kScrollWheel;
      e.point = p;
      e.wheelDelta = delta;
      c->DoEvent(e);
      return true;
    }
  }
  return false;
}

void CControlManagerUI::SetFocus(CControlUI* control) {
  if (control == focus_) return;
  UiEvent e;
  if (CControlUI* old = focus_) {
    focus_ = nullptr;
    e.type = UiEvent::kKillFocus;
    old->DoEvent(e);
  }
  focus_ = control;
  if (control) {
    e.type = UiEvent::kSetFocus;
    control->DoEvent(e);
  }
}

namespace {
Text& ResourcePath() {
  static Text* path = new Text();  // never destroyed: windows may outlive statics
  return *path;
}
}  // namespace

void CControlManagerUI::SetResourcePath(TextView path) {
  Text p(path);
  if (!p.empty() && p.back() != u'\\' && p.back() != u'/') p.push_back(u'/');
  ResourcePath() = p;
}

const Text& CControlManagerUI::GetResourcePath() { return ResourcePath(); }

Text CControlManagerUI::ResolveResource(TextView file) {
  bool absolute = (!file.empty() && (file[0] == u'/' || file[0] == u'\\')) ||
                  (file.size() > 1 && file[1] == u':');
  if (absolute) return Text(file);
  return ResourcePath() + Text(file);
}

void CControlManagerUI::ReapControl(CControlUI* control) {
  if (focus_ == control) focus_ = nullptr;
  if (pushed_ == control) pushed_ = nullptr;
  if (hover_ == control) hover_ = nullptr;
}

}  // namespace kavrel
