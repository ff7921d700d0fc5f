#include "ui/controls.h"

#include <algorithm>

#include "ui/manager.h"

namespace kavrel {
namespace {

// Reads one attribute value into a setter when the value parses.
template <typename T, typename Parse, typename Set>
bool Apply(TextView value, Parse parse, Set set) {
  T v{};
  if (!parse(value, &v)) return false;
  set(v);
  return true;
}

bool ApplyInt(TextView value, const std::function<void(int)>& set) {
  return Apply<int>(value, ParseUiInt, set);
}
bool ApplyBool(TextView value, const std::function<void(bool)>& set) {
  return Apply<bool>(value, ParseUiBool, set);
}
bool ApplyColor(TextView value, const std::function<void(UiColor)>& set) {
  return Apply<UiColor>(value, ParseUiColor, set);
}
bool ApplyRect(TextView value, const std::function<void(const UiRect&)>& set) {
  return Apply<UiRect>(value, ParseUiRect, set);
}
bool ApplyImage(TextView value, const std::function<void(const UiImage&)>& set) {
  return Apply<UiImage>(value, ParseUiImage, set);
}

bool HasColor(UiColor c) { return (c >> 24) != 0; }

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

int ClampToLimits(int v, int minimum, int maximum) {
  if (maximum > 0 && v > maximum) v = maximum;
  if (v < minimum) v = minimum;
  return v < 0 ? 0 : v;
}

const UiListInfo* ListInfoOf(CControlUI* owner) {
  if (auto* list = dynamic_cast<CListUI*>(owner)) return &list->GetListInfo();
  if (auto* combo = dynamic_cast<CComboUI*>(owner)) return &combo->GetListInfo();
  return nullptr;
}

// Reads "a,b,c" as a list of non-negative integers.
bool ParseIntList(TextView text, std::vector<int>* out) {
  std::vector<int> values;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(u',', start);
    int v = 0;
    if (!ParseUiInt(text.substr(start, comma == TextView::npos ? TextView::npos : comma - start), &v) || v < 0) {
      return false;
    }
    values.push_back(v);
    if (comma == TextView::npos) break;
    start = comma + 1;
  }
  *out = values;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// CControlUI

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  if (manager_) manager_->ReapControl(this);
}

void CControlUI::SetName(TextView name) { name_ = Text(name); }

void CControlUI::SetText(TextView text) {
  if (text_ == text) return;
  text_ = Text(text);
  Invalidate();
}

void CControlUI::SetPos(const UiRect& rect) {
  appPositioned_ = true;
  Invalidate();
  Arrange(rect);
  Invalidate();
}

void CControlUI::Arrange(const UiRect& rect) {
  UiRect r = rect;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  pos_ = r;
}

void CControlUI::SetFixedRect(const UiRect& rect) {
  fixedRect_ = rect;
  fixedWidth_ = std::max(0, rect.right - rect.left);
  fixedHeight_ = std::max(0, rect.bottom - rect.top);
  NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
  fixedWidth_ = cx < 0 ? 0 : cx;
  fixedRect_.right = fixedRect_.left + fixedWidth_;
  NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
  fixedHeight_ = cy < 0 ? 0 : cy;
  fixedRect_.bottom = fixedRect_.top + fixedHeight_;
  NeedParentUpdate();
}

void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (!visible && manager_) manager_->ReapControl(this);
  Invalidate();
  NeedParentUpdate();
}

void CControlUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (!enabled) {
    hot_ = false;
    if (manager_) manager_->ReapControl(this);
  }
  Invalidate();
}

bool CControlUI::IsFocused() const { return manager_ && manager_->GetFocus() == this; }

void CControlUI::SetFocus() {
  if (manager_) manager_->SetFocus(this);
}

bool CControlUI::SetAttribute(TextView name, TextView value) {
  if (name == u"name") { SetName(value); return true; }
  if (name == u"text") { SetText(value); return true; }
  if (name == u"tooltip") { SetToolTip(value); return true; }
  if (name == u"pos") return ApplyRect(value, [this](const UiRect& r) { SetFixedRect(r); });
  if (name == u"float") return ApplyBool(value, [this](bool b) { SetFloat(b); });
  if (name == u"width") return ApplyInt(value, [this](int v) { SetFixedWidth(v); });
  if (name == u"height") return ApplyInt(value, [this](int v) { SetFixedHeight(v); });
  if (name == u"minwidth") return ApplyInt(value, [this](int v) { SetMinWidth(v); });
  if (name == u"minheight") return ApplyInt(value, [this](int v) { SetMinHeight(v); });
  if (name == u"maxwidth") return ApplyInt(value, [this](int v) { SetMaxWidth(v); });
  if (name == u"maxheight") return ApplyInt(value, [this](int v) { SetMaxHeight(v); });
  if (name == u"padding") return ApplyRect(value, [this](const UiRect& r) { SetPadding(r); });
  if (name == u"visible") return ApplyBool(value, [this](bool b) { SetVisible(b); });
  if (name == u"enabled") return ApplyBool(value, [this](bool b) { SetEnabled(b); });
  if (name == u"mouse") return ApplyBool(value, [this](bool b) { SetMouseEnabled(b); });
  if (name == u"bkcolor") return ApplyColor(value, [this](UiColor c) { SetBkColor(c); });
  if (name == u"bordercolor") return ApplyColor(value, [this](UiColor c) { SetBorderColor(c); });
  if (name == u"bordersize") return ApplyInt(value, [this](int v) { SetBorderSize(v); });
  if (name == u"bkimage") return ApplyImage(value, [this](const UiImage& i) { SetBkImage(i); });
  if (name == u"textcolor") return ApplyColor(value, [this](UiColor c) { SetTextColor(c); });
  if (name == u"disabledtextcolor") return ApplyColor(value, [this](UiColor c) { SetDisabledTextColor(c); });
  if (name == u"font") return ApplyInt(value, [this](int v) { SetFont(v); });
  if (name == u"textpadding") return ApplyRect(value, [this](const UiRect& r) { SetTextPadding(r); });
  if (name == u"align") {
    unsigned a = textAlign_;
    if (!ParseUiAlign(value, &a)) return false;
    SetTextAlign(a);
    return true;
  }
  return false;
}

CControlUI* CControlUI::FindControl(UiPoint p) {
  if (!visible_ || !pos_.Contains(p)) return nullptr;
  return this;
}

CControlUI* CControlUI::Find(const std::function<bool(CControlUI*)>& visit) {
  return visit(this) ? this : nullptr;
}

void CControlUI::DoEvent(UiEvent& event) {
  switch (event.type) {
    case UiEvent::kMouseEnter:
      hot_ = true;
      Invalidate();
      break;
    case UiEvent::kMouseLeave:
      hot_ = false;
      Invalidate();
      break;
    default:
      break;
  }
}

void CControlUI::Paint(UiCanvas& canvas, const UiRect& dirty) {
  if (!visible_ || pos_.Intersect(dirty).IsEmpty()) return;
  PaintBackground(canvas);
  PaintStatusImage(canvas);
  PaintText(canvas);
  PaintBorder(canvas);
}

void CControlUI::PaintBackground(UiCanvas& canvas) {
  if (HasColor(bkColor_)) canvas.FillRect(pos_, bkColor_);
  if (!bkImage_.empty()) canvas.DrawImage(bkImage_, pos_);
}

UiColor CControlUI::EffectiveTextColor() const { return enabled_ ? textColor_ : disabledTextColor_; }

void CControlUI::PaintText(UiCanvas& canvas) {
  Text text = GetText();
  if (text.empty()) return;
  canvas.DrawText(text, pos_.Deflate(textPadding_), EffectiveTextColor(), font_, textAlign_);
}

void CControlUI::PaintBorder(UiCanvas& canvas) {
  if (borderSize_ > 0 && HasColor(borderColor_)) canvas.FrameRect(pos_, borderColor_, borderSize_);
}

void CControlUI::SetManager(CControlManagerUI* manager, CControlUI* parent) {
  if (manager_ && manager_ != manager) manager_->ReapControl(this);
  manager_ = manager;
  parent_ = parent;
}

void CControlUI::Invalidate() {
  if (manager_) manager_->Invalidate(pos_);
}

void CControlUI::NeedParentUpdate() {
  if (manager_) manager_->NeedUpdate();
  Invalidate();
}

void CControlUI::NeedUpdate() {
  if (manager_) manager_->NeedUpdate();
  Invalidate();
}

void CControlUI::Notify(TextView type, std::uintptr_t wParam, std::intptr_t lParam) {
  if (manager_) manager_->SendNotify(this, type, wParam, lParam);
}

// ---------------------------------------------------------------------------
// CContainerUI

CContainerUI::~CContainerUI() {
  std::vector<CControlUI*> items;
  items.swap(items_);
  for (CControlUI* c : items) delete c;
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return items_[static_cast<size_t>(index)];
}

int CContainerUI::GetItemIndex(const CControlUI* control) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == control) return static_cast<int>(i);
  }
  return -1;
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (!control) return false;
  if (index < 0 || index > GetCount()) index = GetCount();
  items_.insert(items_.begin() + index, control);
  control->SetManager(manager_, this);
  NeedUpdate();
  return true;
}

bool CContainerUI::Remove(CControlUI* control) {
  int index = GetItemIndex(control);
  if (index < 0) return false;
  items_.erase(items_.begin() + index);
  delete control;
  NeedUpdate();
  return true;
}

void CContainerUI::RemoveAll() {
  std::vector<CControlUI*> items;
  items.swap(items_);
  for (CControlUI* c : items) delete c;
  NeedUpdate();
}

CControlUI* CContainerUI::DetachAt(int index) {
  CControlUI* c = GetItemAt(index);
  if (!c) return nullptr;
  items_.erase(items_.begin() + index);
  c->SetManager(nullptr, nullptr);
  NeedUpdate();
  return c;
}

bool CContainerUI::SetAttribute(TextView name, TextView value) {
  if (name == u"inset") return ApplyRect(value, [this](const UiRect& r) { SetInset(r); });
  if (name == u"childpadding") return ApplyInt(value, [this](int v) { SetChildPadding(v); });
  return CControlUI::SetAttribute(name, value);
}

void CContainerUI::Arrange(const UiRect& rect) {
  CControlUI::Arrange(rect);
  LayoutChildren(ChildArea());
}

bool CContainerUI::PlaceOutsideFlow(CControlUI* child, const UiRect&) {
  if (child->IsPositionedByApplication()) {
    child->Arrange(child->GetPos());
    return true;
  }
  if (child->IsFloat()) {
    const UiRect& f = child->GetFixedXY();
    child->Arrange(UiRect{pos_.left + f.left, pos_.top + f.top, pos_.left + f.right, pos_.top + f.bottom});
    return true;
  }
  return false;
}

void CContainerUI::LayoutChildren(const UiRect& area) {
  // A plain container stacks nothing: every child fills the area.
  for (CControlUI* child : items_) {
    if (!child->IsVisible() || PlaceOutsideFlow(child, area)) continue;
    const UiRect& p = child->GetPadding();
    UiRect r = area.Deflate(p);
    int w = child->GetFixedWidth() > 0 ? child->GetFixedWidth() : r.Width();
    int h = child->GetFixedHeight() > 0 ? child->GetFixedHeight() : r.Height();
    w = ClampToLimits(w, child->GetMinWidth(), child->GetMaxWidth());
    h = ClampToLimits(h, child->GetMinHeight(), child->GetMaxHeight());
    child->Arrange(UiRect{r.left, r.top, r.left + w, r.top + h});
  }
}

CControlUI* CContainerUI::FindControl(UiPoint p) {
  if (!visible_) return nullptr;
  // Children first, last added on top; float children may lie outside.
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    if (CControlUI* found = (*it)->FindControl(p)) return found;
  }
  return pos_.Contains(p) ? this : nullptr;
}

CControlUI* CContainerUI::Find(const std::function<bool(CControlUI*)>& visit) {
  if (visit(this)) return this;
  for (CControlUI* child : items_) {
    if (CControlUI* found = child->Find(visit)) return found;
  }
  return nullptr;
}

void CContainerUI::Paint(UiCanvas& canvas, const UiRect& dirty) {
  if (!visible_) return;
  if (!pos_.Intersect(dirty).IsEmpty()) {
    PaintBackground(canvas);
    PaintStatusImage(canvas);
    PaintText(canvas);
  }
  for (CControlUI* child : items_) {
    if (child->IsVisible()) child->Paint(canvas, dirty);
  }
  if (!pos_.Intersect(dirty).IsEmpty()) PaintBorder(canvas);
}

void CContainerUI::SetManager(CControlManagerUI* manager, CControlUI* parent) {
  CControlUI::SetManager(manager, parent);
  for (CControlUI* child : items_) child->SetManager(manager, this);
}

// ---------------------------------------------------------------------------
// Layouts

void CVerticalLayoutUI::LayoutChildren(const UiRect& area) {
  std::vector<CControlUI*> flow;
  int used = 0;
  int autoCount = 0;
  for (CControlUI* child : items_) {
    if (!child->IsVisible() || PlaceOutsideFlow(child, area)) continue;
    flow.push_back(child);
    used += child->GetPadding().top + child->GetPadding().bottom;
    if (child->GetFixedHeight() > 0) {
      used += ClampToLimits(child->GetFixedHeight(), child->GetMinHeight(), child->GetMaxHeight());
    } else {
      ++autoCount;
    }
  }
  if (flow.size() > 1) used += childPadding_ * static_cast<int>(flow.size() - 1);
  int remaining = std::max(0, area.Height() - used);
  int y = area.top;
  int autoSeen = 0;
  for (CControlUI* child : flow) {
    const UiRect& p = child->GetPadding();
    int h;
    if (child->GetFixedHeight() > 0) {
      h = ClampToLimits(child->GetFixedHeight(), child->GetMinHeight(), child->GetMaxHeight());
    } else {
      ++autoSeen;
      int share = remaining / autoCount;
      if (autoSeen == autoCount) share = remaining - share * (autoCount - 1);
      h = ClampToLimits(share, child->GetMinHeight(), child->GetMaxHeight());
    }
    int w = child->GetFixedWidth() > 0 ? child->GetFixedWidth() : area.Width() - p.left - p.right;
    w = ClampToLimits(w, child->GetMinWidth(), child->GetMaxWidth());
    UiRect r{area.left + p.left, y + p.top, area.left + p.left + w, y + p.top + h};
    child->Arrange(r);
    y = r.bottom + p.bottom + childPadding_;
  }
}

void CHorizontalLayoutUI::LayoutChildren(const UiRect& area) {
  std::vector<CControlUI*> flow;
  int used = 0;
  int autoCount = 0;
  for (CControlUI* child : items_) {
    if (!child->IsVisible() || PlaceOutsideFlow(child, area)) continue;
    flow.push_back(child);
    used += child->GetPadding().left + child->GetPadding().right;
    if (child->GetFixedWidth() > 0) {
      used += ClampToLimits(child->GetFixedWidth(), child->GetMinWidth(), child->GetMaxWidth());
    } else {
      ++autoCount;
    }
  }
  if (flow.size() > 1) used += childPadding_ * static_cast<int>(flow.size() - 1);
  int remaining = std::max(0, area.Width() - used);
  int x = area.left;
  int autoSeen = 0;
  for (CControlUI* child : flow) {
    const UiRect& p = child->GetPadding();
    int w;
    if (child->GetFixedWidth() > 0) {
      w = ClampToLimits(child->GetFixedWidth(), child->GetMinWidth(), child->GetMaxWidth());
    } else {
      ++autoSeen;
      int share = remaining / autoCount;
      if (autoSeen == autoCount) share = remaining - share * (autoCount - 1);
      w = ClampToLimits(share, child->GetMinWidth(), child->GetMaxWidth());
    }
    int h = child->GetFixedHeight() > 0 ? child->GetFixedHeight() : area.Height() - p.top - p.bottom;
    h = ClampToLimits(h, child->GetMinHeight(), child->GetMaxHeight());
    UiRect r{x + p.left, area.top + p.top, x + p.left + w, area.top + p.top + h};
    child->Arrange(r);
    x = r.right + p.right + childPadding_;
  }
}

bool CTabLayoutUI::SelectItem(int index) {
  if (index < 0 || index >= GetCount()) return false;
  curSel_ = index;
  ShowOnly(index);
  NeedUpdate();
  return true;
}

void CTabLayoutUI::ShowOnly(int index) {
  for (int i = 0; i < GetCount(); ++i) items_[static_cast<size_t>(i)]->SetVisible(i == index);
}

bool CTabLayoutUI::Add(CControlUI* control) {
  if (!CContainerUI::Add(control)) return false;
  control->SetVisible(GetCount() - 1 == curSel_);
  return true;
}

bool CTabLayoutUI::SetAttribute(TextView name, TextView value) {
  if (name == u"selectedid") {
    int v = 0;
    if (!ParseUiInt(value, &v) || v < 0) return false;
    curSel_ = v;  // the pages may not have been added yet
    ShowOnly(v);
    return true;
  }
  return CContainerUI::SetAttribute(name, value);
}

// ---------------------------------------------------------------------------
// Buttons and options

void CButtonUI::Activate() { Notify(u"click"); }

bool CButtonUI::SetAttribute(TextView name, TextView value) {
  if (name == u"normalimage") return ApplyImage(value, [this](const UiImage& i) { SetNormalImage(i); });
  if (name == u"hotimage") return ApplyImage(value, [this](const UiImage& i) { SetHotImage(i); });
  if (name == u"pushedimage") return ApplyImage(value, [this](const UiImage& i) { SetPushedImage(i); });
  if (name == u"disabledimage") return ApplyImage(value, [this](const UiImage& i) { SetDisabledImage(i); });
  if (name == u"hotbkcolor") return ApplyColor(value, [this](UiColor c) { SetHotBkColor(c); });
  return CLabelUI::SetAttribute(name, value);
}

void CButtonUI::DoEvent(UiEvent& event) {
  switch (event.type) {
    case UiEvent::kButtonDown:
    case UiEvent::kDoubleClick:
      pushed_ = true;
      Invalidate();
      break;
    case UiEvent::kButtonUp:
      if (pushed_) {
        pushed_ = false;
        Invalidate();
        if (pos_.Contains(event.point)) Activate();  // may delete this control
      }
      break;
    default:
      CLabelUI::DoEvent(event);
  }
}

void CButtonUI::PaintStatusImage(UiCanvas& canvas) {
  if (hot_ && enabled_ && HasColor(hotBkColor_)) canvas.FillRect(pos_, hotBkColor_);
  const UiImage* image = &normalImage_;
  if (!enabled_ && !disabledImage_.empty()) {
    image = &disabledImage_;
  } else if (pushed_ && !pushedImage_.empty()) {
    image = &pushedImage_;
  } else if (hot_ && !hotImage_.empty()) {
    image = &hotImage_;
  }
  if (!image->empty()) canvas.DrawImage(*image, pos_);
}

COptionUI::~COptionUI() {
  if (manager_ && !group_.empty()) manager_->RemoveOptionGroup(group_, this);
}

void COptionUI::SetGroup(TextView group) {
  if (manager_ && !group_.empty()) manager_->RemoveOptionGroup(group_, this);
  group_ = Text(group);
  if (manager_ && !group_.empty()) manager_->AddOptionGroup(group_, this);
}

void COptionUI::Selected(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  Invalidate();
  if (!group_.empty()) {
    if (!selected) return;  // the option selected in its place reports the change
    if (manager_) {
      if (const auto* members = manager_->GetOptionGroup(group_)) {
        for (COptionUI* other : *members) {
          if (other != this && other->selected_) {
            other->selected_ = false;
            other->Invalidate();
          }
        }
      }
    }
  }
  Notify(u"selectchanged");
}

void COptionUI::Activate() {
  CControlManagerUI* manager = manager_;
  CButtonUI::Activate();
  // The click handler may have removed this option.
  if (manager && (!manager->GetRoot() || !manager->GetRoot()->Find([this](CControlUI* c) { return c == this; }))) return;
  Selected(group_.empty() ? !selected_ : true);
}

bool COptionUI::SetAttribute(TextView name, TextView value) {
  if (name == u"group") { SetGroup(value); return true; }
  if (name == u"selected") return ApplyBool(value, [this](bool b) { Selected(b); });
  if (name == u"selectedimage") return ApplyImage(value, [this](const UiImage& i) { SetSelectedImage(i); });
  if (name == u"selectedbkcolor") return ApplyColor(value, [this](UiColor c) { SetSelectedBkColor(c); });
  return CButtonUI::SetAttribute(name, value);
}

void COptionUI::SetManager(CControlManagerUI* manager, CControlUI* parent) {
  if (manager_ == manager) {
    CButtonUI::SetManager(manager, parent);
    return;
  }
  if (manager_ && !group_.empty()) manager_->RemoveOptionGroup(group_, this);
  CButtonUI::SetManager(manager, parent);
  if (manager_ && !group_.empty()) {
    manager_->AddOptionGroup(group_, this);
    // A skin may mark several options of one group selected: the last wins.
    if (selected_) {
      for (COptionUI* other : *manager_->GetOptionGroup(group_)) {
        if (other != this) other->selected_ = false;
      }
    }
  }
}

void COptionUI::PaintStatusImage(UiCanvas& canvas) {
  if (selected_) {
    if (HasColor(selectedBkColor_)) canvas.FillRect(pos_, selectedBkColor_);
    if (!selectedImage_.empty()) {
      canvas.DrawImage(selectedImage_, pos_);
      return;
    }
  }
  CButtonUI::PaintStatusImage(canvas);
}

// ---------------------------------------------------------------------------
// CEditUI

CEditUI::CEditUI() {
  bkColor_ = 0xFFFFFFFFu;
  textPadding_ = UiRect{4, 0, 4, 0};
}

void CEditUI::SetText(TextView text) {
  CLabelUI::SetText(text.substr(0, maxChar_ > 0 ? static_cast<size_t>(maxChar_) : text.size()));
  caret_ = text_.size();
}

Text CEditUI::DisplayText() const {
  if (password_) return Text(text_.size(), passwordChar_);
  return text_;
}

bool CEditUI::SetAttribute(TextView name, TextView value) {
  if (name == u"hinttext") { SetHintText(value); return true; }
  if (name == u"hintcolor") return ApplyColor(value, [this](UiColor c) { hintColor_ = c; });
  if (name == u"password") return ApplyBool(value, [this](bool b) { SetPasswordMode(b); });
  if (name == u"maxchar") return ApplyInt(value, [this](int v) { SetMaxChar(v); });
  if (name == u"readonly") return ApplyBool(value, [this](bool b) { SetReadOnly(b); });
  return CLabelUI::SetAttribute(name, value);
}

void CEditUI::DoEvent(UiEvent& event) {
  if (caret_ > text_.size()) caret_ = text_.size();
  switch (event.type) {
    case UiEvent::kButtonDown:
    case UiEvent::kDoubleClick:
      SetFocus();
      break;
    case UiEvent::kSetFocus:
    case UiEvent::kKillFocus:
      Invalidate();
      break;
    case UiEvent::kChar:
      // Control characters arrive as keys; only printable text is typed.
      if (readOnly_ || event.ch < 0x20 || event.ch == 0x7F) break;
      if (maxChar_ > 0 && text_.size() >= static_cast<size_t>(maxChar_)) break;
      text_.insert(caret_, 1, event.ch);
      ++caret_;
      Invalidate();
      Notify(u"textchanged");
      break;
    case UiEvent::kKeyDown:
      switch (event.key) {
        case UiKey::kReturn:
          Notify(u"return");
          break;
        case UiKey::kBack:
          if (!readOnly_ && caret_ > 0) {
            text_.erase(--caret_, 1);
            Invalidate();
            Notify(u"textchanged");
          }
          break;
        case UiKey::kDelete:
          if (!readOnly_ && caret_ < text_.size()) {
            text_.erase(caret_, 1);
            Invalidate();
            Notify(u"textchanged");
          }
          break;
        case UiKey::kLeft: if (caret_ > 0) --caret_; break;
        case UiKey::kRight: if (caret_ < text_.size()) ++caret_; break;
        case UiKey::kHome: caret_ = 0; break;
        case UiKey::kEnd: caret_ = text_.size(); break;
        default: break;
      }
      break;
    default:
      CLabelUI::DoEvent(event);
  }
}

void CEditUI::PaintText(UiCanvas& canvas) {
  UiRect r = pos_.Deflate(textPadding_);
  if (text_.empty()) {
    if (!hintText_.empty() && !IsFocused()) canvas.DrawText(hintText_, r, hintColor_, font_, textAlign_);
  } else {
    canvas.DrawText(DisplayText(), r, EffectiveTextColor(), font_, textAlign_);
  }
  if (IsFocused()) {
    // A simple caret after the text; exact placement needs text metrics the
    // tree does not have, so it marks the end of the box's text.
    canvas.FillRect(UiRect{r.left, r.bottom - 2, r.right, r.bottom - 1}, EffectiveTextColor());
  }
}

// ---------------------------------------------------------------------------
// CScrollBarUI

void CScrollBarUI::SetScrollRange(int range) {
  range_ = range < 0 ? 0 : range;
  scrollPos_ = Clamp(scrollPos_, 0, range_);
  Invalidate();
}

void CScrollBarUI::SetScrollPos(int pos) {
  scrollPos_ = Clamp(pos, 0, range_);
  Invalidate();
}

bool CScrollBarUI::SetAttribute(TextView name, TextView value) {
  if (name == u"thumbcolor") return ApplyColor(value, [this](UiColor c) { SetThumbColor(c); });
  return CControlUI::SetAttribute(name, value);
}

void CScrollBarUI::PaintStatusImage(UiCanvas& canvas) {
  int h = pos_.Height();
  if (range_ <= 0 || h <= 0 || pos_.Width() <= 0) return;
  long long thumb = static_cast<long long>(h) * h / (h + range_);
  if (thumb < 8) thumb = 8;
  if (thumb > h) thumb = h;
  int top = pos_.top + static_cast<int>((h - thumb) * scrollPos_ / range_);
  canvas.FillRect(UiRect{pos_.left, top, pos_.right, top + static_cast<int>(thumb)}, thumbColor_);
}

// ---------------------------------------------------------------------------
// Lists

void CListBodyUI::SetScrollPos(int pos) {
  int maximum = std::max(0, ContentHeight() - ChildArea().Height());
  int clamped = Clamp(pos, 0, maximum);
  if (clamped == scrollPos_) return;
  scrollPos_ = clamped;
  LayoutChildren(ChildArea());
  owner_->SyncScrollBar();
  Invalidate();
}

int CListBodyUI::ContentHeight() const {
  int total = 0;
  int defaultHeight = owner_->GetListInfo().itemHeight;
  for (CControlUI* row : items_) {
    if (row->IsVisible()) total += row->GetFixedHeight() > 0 ? row->GetFixedHeight() : defaultHeight;
  }
  return total;
}

void CListBodyUI::LayoutChildren(const UiRect& area) {
  int maximum = std::max(0, ContentHeight() - area.Height());
  scrollPos_ = Clamp(scrollPos_, 0, maximum);
  int y = area.top - scrollPos_;
  int defaultHeight = owner_->GetListInfo().itemHeight;
  for (CControlUI* row : items_) {
    if (!row->IsVisible()) continue;
    int h = row->GetFixedHeight() > 0 ? row->GetFixedHeight() : defaultHeight;
    row->Arrange(UiRect{area.left, y, area.right, y + h});
    y += h;
  }
}

CControlUI* CListBodyUI::FindControl(UiPoint p) {
  // Rows scrolled out of the body are not under any point.
  if (!visible_ || !pos_.Contains(p)) return nullptr;
  return CContainerUI::FindControl(p);
}

void CListBodyUI::Paint(UiCanvas& canvas, const UiRect& dirty) {
  if (!visible_) return;
  UiRect clip = pos_.Intersect(dirty);
  if (clip.IsEmpty()) return;
  canvas.PushClip(clip);
  CContainerUI::Paint(canvas, clip);
  canvas.PopClip();
}

CControlUI* CListElementUI::GetOwner() const {
  if (!parent_) return nullptr;
  if (dynamic_cast<CComboUI*>(parent_)) return parent_;
  return parent_->GetParent();
}

int CListElementUI::GetIndex() const {
  auto* container = dynamic_cast<CContainerUI*>(parent_);
  return container ? container->GetItemIndex(this) : -1;
}

void CListElementUI::DoEvent(UiEvent& event) {
  CControlUI* owner = GetOwner();
  CControlManagerUI* manager = manager_;
  switch (event.type) {
    case UiEvent::kButtonDown:
    case UiEvent::kDoubleClick: {
      CContainerUI* holder = dynamic_cast<CContainerUI*>(parent_);
      if (auto* combo = dynamic_cast<CComboUI*>(owner)) {
        combo->SelectItem(GetIndex(), false);
        combo->SetDropped(false);
        break;
      }
      auto* list = dynamic_cast<CListUI*>(owner);
      if (!list || !manager || !holder) break;
      if (event.type == UiEvent::kButtonDown) {
        list->SelectItem(GetIndex(), true);
        // The "itemselect" handler may have removed the rows.
        if (holder->GetItemIndex(this) < 0) break;
        manager->SendNotify(this, u"itemclick");
      } else {
        manager->SendNotify(this, u"itemdoubleclick");
      }
      break;
    }
    default:
      CControlUI::DoEvent(event);
  }
}

void CListElementUI::PaintBackground(UiCanvas& canvas) {
  CControlUI::PaintBackground(canvas);
  const UiListInfo* info = ListInfoOf(GetOwner());
  if (!info) return;
  UiColor c = selected_ ? info->selectedBkColor : (hot_ && HasColor(info->hotBkColor) ? info->hotBkColor : info->itemBkColor);
  if (HasColor(c)) canvas.FillRect(pos_, c);
  textColor_ = selected_ ? info->selectedTextColor : info->itemTextColor;
  font_ = font_ >= 0 ? font_ : info->itemFont;
  textAlign_ = info->itemAlign;
}

Text CListTextElementUI::GetText() const { return GetColumnText(0); }

Text CListTextElementUI::GetColumnText(int column) const {
  if (column < 0) return Text();
  if (auto* list = dynamic_cast<CListUI*>(GetOwner())) {
    if (IListCallbackUI* cb = list->GetTextCallback()) {
      return cb->GetItemText(const_cast<CListTextElementUI*>(this), GetIndex(), column);
    }
  }
  return static_cast<size_t>(column) < columns_.size() ? columns_[static_cast<size_t>(column)] : Text();
}

void CListTextElementUI::SetColumnText(int column, TextView text) {
  if (column < 0 || column > 255) return;
  if (columns_.size() <= static_cast<size_t>(column)) columns_.resize(static_cast<size_t>(column) + 1);
  columns_[static_cast<size_t>(column)] = Text(text);
  Invalidate();
}

void CListTextElementUI::PaintText(UiCanvas& canvas) {
  const UiListInfo* info = ListInfoOf(GetOwner());
  std::vector<int> widths;
  if (info) widths = info->columnWidths;
  if (widths.empty()) widths.push_back(pos_.Width());
  int x = pos_.left;
  for (size_t i = 0; i < widths.size() && x < pos_.right; ++i) {
    UiRect cell{x, pos_.top, std::min(pos_.right, x + widths[i]), pos_.bottom};
    Text t = GetColumnText(static_cast<int>(i));
    if (!t.empty()) canvas.DrawText(t, cell.Deflate(textPadding_), EffectiveTextColor(), font_, textAlign_);
    x += widths[i];
  }
}

CListUI::CListUI() {
  body_ = new CListBodyUI(this);
  vscroll_ = new CScrollBarUI();
  vscroll_->SetFixedWidth(8);
  vscroll_->SetBkColor(0x40000000u);
  CContainerUI::AddAt(body_, 0);
  CContainerUI::AddAt(vscroll_, 1);
}

bool CListUI::Add(CControlUI* control) { return AddAt(control, GetItemCount()); }

bool CListUI::AddAt(CControlUI* control, int index) {
  if (!control) return false;
  if (curSel_ >= 0 && index >= 0 && index <= curSel_ && index < GetItemCount()) ++curSel_;
  bool added = body_->AddAt(control, index);
  if (auto* row = dynamic_cast<CListElementUI*>(control)) {
    row->SetSelectedState(row->GetIndex() == curSel_ && curSel_ >= 0);
  }
  SyncScrollBar();
  return added;
}

bool CListUI::Remove(CControlUI* control) {
  int index = body_->GetItemIndex(control);
  if (index < 0) return false;
  if (index == curSel_) {
    curSel_ = -1;
  } else if (index < curSel_) {
    --curSel_;
  }
  body_->Remove(control);
  SyncScrollBar();
  return true;
}

void CListUI::RemoveAll() {
  curSel_ = -1;
  body_->RemoveAll();
  body_->SetScrollPos(0);
  SyncScrollBar();
}

bool CListUI::SelectItem(int index, bool takeFocus) {
  if (index < -1 || index >= GetItemCount()) return false;
  if (takeFocus) SetFocus();
  if (index == curSel_) return true;
  int old = curSel_;
  if (auto* row = dynamic_cast<CListElementUI*>(GetItem(old))) row->SetSelectedState(false);
  curSel_ = index;
  if (CControlUI* item = GetItem(index)) {
    if (auto* row = dynamic_cast<CListElementUI*>(item)) row->SetSelectedState(true);
    // Scroll the row into view.
    UiRect area = body_->GetPos();
    const UiRect& r = item->GetPos();
    if (r.top < area.top) {
      body_->SetScrollPos(body_->GetScrollPos() - (area.top - r.top));
    } else if (r.bottom > area.bottom) {
      body_->SetScrollPos(body_->GetScrollPos() + (r.bottom - area.bottom));
    }
  }
  Notify(u"itemselect", static_cast<std::uintptr_t>(index), old);
  return true;
}

void CListUI::PageUp() { Scroll(-std::max(1, body_->GetPos().Height())); }
void CListUI::PageDown() { Scroll(std::max(1, body_->GetPos().Height())); }
void CListUI::Scroll(int delta) { body_->SetScrollPos(body_->GetScrollPos() + delta); }

void CListUI::SyncScrollBar() {
  int range = std::max(0, body_->ContentHeight() - body_->GetPos().Height());
  vscroll_->SetScrollRange(range);
  vscroll_->SetScrollPos(body_->GetScrollPos());
}

bool CListUI::SetAttribute(TextView name, TextView value) {
  if (name == u"itemheight") {
    return ApplyInt(value, [this](int v) { if (v > 0) { info_.itemHeight = v; NeedUpdate(); } });
  }
  if (name == u"itemtextcolor") return ApplyColor(value, [this](UiColor c) { info_.itemTextColor = c; });
  if (name == u"itembkcolor") return ApplyColor(value, [this](UiColor c) { info_.itemBkColor = c; });
  if (name == u"itemhotbkcolor") return ApplyColor(value, [this](UiColor c) { info_.hotBkColor = c; });
  if (name == u"itemselectedbkcolor") return ApplyColor(value, [this](UiColor c) { info_.selectedBkColor = c; });
  if (name == u"itemselectedtextcolor") return ApplyColor(value, [this](UiColor c) { info_.selectedTextColor = c; });
  if (name == u"itemfont") return ApplyInt(value, [this](int v) { info_.itemFont = v; });
  if (name == u"itemalign") return ParseUiAlign(value, &info_.itemAlign);
  if (name == u"columns") return ParseIntList(value, &info_.columnWidths);
  if (name == u"vscrollbar") return ApplyBool(value, [this](bool b) { vscroll_->SetVisible(b); });
  if (name == u"scrollbarwidth") return ApplyInt(value, [this](int v) { vscroll_->SetFixedWidth(v); });
  if (name == u"thumbcolor") return vscroll_->SetAttribute(name, value);
  return CContainerUI::SetAttribute(name, value);
}

void CListUI::DoEvent(UiEvent& event) {
  if (event.type == UiEvent::kKeyDown) {
    switch (event.key) {
      case UiKey::kUp: if (curSel_ > 0) SelectItem(curSel_ - 1); return;
      case UiKey::kDown: if (curSel_ + 1 < GetItemCount()) SelectItem(curSel_ + 1); return;
      case UiKey::kHome: if (GetItemCount() > 0) SelectItem(0); return;
      case UiKey::kEnd: if (GetItemCount() > 0) SelectItem(GetItemCount() - 1); return;
      case UiKey::kPrior: PageUp(); return;
      case UiKey::kNext: PageDown(); return;
      default: break;
    }
  }
  if (event.type == UiEvent::kScrollWheel) {
    Scroll(-(event.wheelDelta / 120) * info_.itemHeight * 3);
    return;
  }
  CContainerUI::DoEvent(event);
}

void CListUI::LayoutChildren(const UiRect& area) {
  int barWidth = vscroll_->IsVisible() ? std::max(0, std::min(vscroll_->GetFixedWidth(), area.Width())) : 0;
  if (vscroll_->IsVisible()) vscroll_->Arrange(UiRect{area.right - barWidth, area.top, area.right, area.bottom});
  body_->Arrange(UiRect{area.left, area.top, area.right - barWidth, area.bottom});
  // Anything else the skin put into the list itself (float decorations).
  for (CControlUI* child : items_) {
    if (child != body_ && child != vscroll_ && child->IsVisible()) PlaceOutsideFlow(child, area);
  }
  SyncScrollBar();
}

// ---------------------------------------------------------------------------
// CComboUI

CComboUI::CComboUI() {
  bkColor_ = 0xFFFFFFFFu;
  textPadding_ = UiRect{4, 0, 16, 0};
}

Text CComboUI::GetText() const {
  CControlUI* row = GetItemAt(curSel_);
  return row ? row->GetText() : Text();
}

bool CComboUI::SelectItem(int index, bool takeFocus) {
  if (index < -1 || index >= GetCount()) return false;
  if (takeFocus) SetFocus();
  if (index == curSel_) return true;
  int old = curSel_;
  if (auto* row = dynamic_cast<CListElementUI*>(GetItemAt(old))) row->SetSelectedState(false);
  curSel_ = index;
  if (auto* row = dynamic_cast<CListElementUI*>(GetItemAt(index))) row->SetSelectedState(true);
  Invalidate();
  Notify(u"itemselect", static_cast<std::uintptr_t>(index), old);
  return true;
}

bool CComboUI::Remove(CControlUI* control) {
  int index = GetItemIndex(control);
  if (index < 0) return false;
  if (index == curSel_) {
    curSel_ = -1;
  } else if (index < curSel_) {
    --curSel_;
  }
  return CContainerUI::Remove(control);
}

void CComboUI::RemoveAll() {
  curSel_ = -1;
  CContainerUI::RemoveAll();
}

void CComboUI::Activate() {
  if (!enabled_) return;
  if (manager_) manager_->ShowDropDown(this);
}

bool CComboUI::SetAttribute(TextView name, TextView value) {
  if (name == u"dropboxsize") return Apply<UiSize>(value, ParseUiSize, [this](UiSize s) { SetDropBoxSize(s); });
  if (name == u"itemheight") return ApplyInt(value, [this](int v) { if (v > 0) info_.itemHeight = v; });
  if (name == u"itemtextcolor") return ApplyColor(value, [this](UiColor c) { info_.itemTextColor = c; });
  if (name == u"itembkcolor") return ApplyColor(value, [this](UiColor c) { info_.itemBkColor = c; });
  if (name == u"itemhotbkcolor") return ApplyColor(value, [this](UiColor c) { info_.hotBkColor = c; });
  if (name == u"itemselectedbkcolor") return ApplyColor(value, [this](UiColor c) { info_.selectedBkColor = c; });
  if (name == u"itemselectedtextcolor") return ApplyColor(value, [this](UiColor c) { info_.selectedTextColor = c; });
  if (name == u"itemfont") return ApplyInt(value, [this](int v) { info_.itemFont = v; });
  if (name == u"selectedid") {
    // Rows come after the attribute; remember the wish and apply it on attach.
    return ApplyInt(value, [this](int v) { if (v >= 0) curSel_ = v; });
  }
  return CContainerUI::SetAttribute(name, value);
}

void CComboUI::DoEvent(UiEvent& event) {
  switch (event.type) {
    case UiEvent::kButtonDown:
    case UiEvent::kDoubleClick:
      Activate();
      break;
    case UiEvent::kKeyDown:
      if (event.key == UiKey::kUp && curSel_ > 0) SelectItem(curSel_ - 1);
      if (event.key == UiKey::kDown && curSel_ + 1 < GetCount()) SelectItem(curSel_ + 1);
      break;
    default:
      CContainerUI::DoEvent(event);
  }
}

CControlUI* CComboUI::FindControl(UiPoint p) {
  // Rows show only in the drop-down window; on the window the box is one piece.
  return CControlUI::FindControl(p);
}

void CComboUI::Paint(UiCanvas& canvas, const UiRect& dirty) {
  if (!visible_ || pos_.Intersect(dirty).IsEmpty()) return;
  if (curSel_ >= GetCount()) curSel_ = -1;
  PaintBackground(canvas);
  PaintText(canvas);
  UiRect arrow{pos_.right - 14, pos_.top, pos_.right - 2, pos_.bottom};
  canvas.DrawText(u"\u25BE", arrow, EffectiveTextColor(), font_, kAlignCenter | kAlignVCenter | kAlignSingleLine);
  PaintBorder(canvas);
}

// ---------------------------------------------------------------------------
// ActiveX placeholders

bool CActiveXUI::SetAttribute(TextView name, TextView value) {
  if (name == u"clsid") { SetClsid(value); return true; }
  return CControlUI::SetAttribute(name, value);
}

void CActiveXUI::Arrange(const UiRect& rect) {
  CControlUI::Arrange(rect);
  if (onPlace) onPlace(pos_, IsVisible());
}

void CActiveXUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (onPlace) onPlace(pos_, IsVisible());
}

// The class identifier of the platform's web browser control.
CWebBrowserUI::CWebBrowserUI() { SetClsid(u"{8856F961-340A-11D0-A96B-00C04FD705A2}"); }

bool CWebBrowserUI::SetAttribute(TextView name, TextView value) {
  if (name == u"homepage") { homePage_ = Text(value); return true; }
  return CActiveXUI::SetAttribute(name, value);
}

}  // namespace kavrel
