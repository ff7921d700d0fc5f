// The control tree of the skinned toolkit: controls, containers, layouts,
// buttons, option buttons, labels, edit boxes, lists, combo boxes, scroll
// bars and the placeholders of hosted ActiveX controls.
//
// The tree is portable: it knows geometry, state, input events and the
// notifications they cause, and draws through the abstract UiCanvas. The
// Windows paint manager feeds it window messages as UiEvents and gives it a
// GDI canvas. A container owns its children; every control belongs to one
// CControlManagerUI once the tree is attached, and all of it runs on the
// thread of that manager's window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/platform/text.h"
#include "ui/attributes.h"
#include "ui/geometry.h"

namespace kavrel {

class CControlManagerUI;
class CControlUI;

// A notification from a control to the sinks of its manager.
struct TNotifyUI {
  Text sType;                 // "click", "selectchanged", "itemselect", ...
  CControlUI* pSender = nullptr;
  std::uintptr_t wParam = 0;  // e.g. the new and old selection of a list
  std::intptr_t lParam = 0;
};

class INotifyUI {
 public:
  virtual void Notify(TNotifyUI& msg) = 0;

 protected:
  ~INotifyUI() = default;
};

// Keys that controls react to, independent of any keyboard API.
enum class UiKey { kReturn, kBack, kDelete, kLeft, kRight, kUp, kDown, kHome, kEnd, kPrior, kNext, kOther };

struct UiEvent {
  enum Type { kButtonDown, kButtonUp, kDoubleClick, kMouseEnter, kMouseLeave, kChar, kKeyDown, kScrollWheel, kSetFocus, kKillFocus };
  Type type = kButtonDown;
  UiPoint point;
  char16_t ch = 0;
  UiKey key = UiKey::kOther;
  int wheelDelta = 0;  // positive: away from the user (scroll up)
};

// Where controls draw. Texts use the manager's fonts by index (-1: default).
class UiCanvas {
 public:
  virtual void FillRect(const UiRect& rect, UiColor color) = 0;
  virtual void FrameRect(const UiRect& rect, UiColor color, int width) = 0;
  // Draws (part of) a picture; false when the picture cannot be loaded.
  virtual bool DrawImage(const UiImage& image, const UiRect& dest) = 0;
  virtual void DrawText(TextView text, const UiRect& rect, UiColor color, int font, unsigned align) = 0;
  virtual void PushClip(const UiRect& rect) = 0;
  virtual void PopClip() = 0;

 protected:
  ~UiCanvas() = default;
};

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  // The kind of control as the skin names it ("ButtonUI", "TextUI", ...).
  virtual TextView GetClass() const { return u"ControlUI"; }

  const Text& GetName() const { return name_; }
  void SetName(TextView name);
  CControlUI* GetParent() const { return parent_; }
  CControlManagerUI* GetManager() const { return manager_; }

  virtual Text GetText() const { return text_; }
  virtual void SetText(TextView text);
  const Text& GetToolTip() const { return toolTip_; }
  void SetToolTip(TextView tip) { toolTip_ = Text(tip); }
  std::uintptr_t GetTag() const { return tag_; }
  void SetTag(std::uintptr_t tag) { tag_ = tag; }

  // Position in client coordinates of the window. SetPos is the
  // application's call: the rectangle stays in force over the layout of
  // the parent until the application sets another one.
  const UiRect& GetPos() const { return pos_; }
  void SetPos(const UiRect& rect);
  bool IsPositionedByApplication() const { return appPositioned_; }
  // Lays the control out at `rect` on behalf of its parent (no pinning).
  virtual void Arrange(const UiRect& rect);

  // Skin geometry. A float control sits at its fixed rectangle relative to
  // the parent's top-left corner; other controls flow in their layout and
  // use only the fixed width and height (0: take the share of the parent).
  const UiRect& GetFixedXY() const { return fixedRect_; }
  void SetFixedRect(const UiRect& rect);
  bool IsFloat() const { return float_; }
  void SetFloat(bool f) { float_ = f; NeedParentUpdate(); }
  int GetFixedWidth() const { return fixedWidth_; }
  void SetFixedWidth(int cx);
  int GetFixedHeight() const { return fixedHeight_; }
  void SetFixedHeight(int cy);
  int GetMinWidth() const { return minWidth_; }
  void SetMinWidth(int cx) { minWidth_ = cx < 0 ? 0 : cx; NeedParentUpdate(); }
  int GetMinHeight() const { return minHeight_; }
  void SetMinHeight(int cy) { minHeight_ = cy < 0 ? 0 : cy; NeedParentUpdate(); }
  int GetMaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int cx) { maxWidth_ = cx < 0 ? 0 : cx; NeedParentUpdate(); }
  int GetMaxHeight() const { return maxHeight_; }
  void SetMaxHeight(int cy) { maxHeight_ = cy < 0 ? 0 : cy; NeedParentUpdate(); }
  const UiRect& GetPadding() const { return padding_; }
  void SetPadding(const UiRect& r) { padding_ = r; NeedParentUpdate(); }

  virtual bool IsVisible() const { return visible_; }
  virtual void SetVisible(bool visible = true);
  bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled = true);
  bool IsFocused() const;
  void SetFocus();
  // Controls that take the keyboard (edit boxes, lists).
  virtual bool WantsFocus() const { return false; }
  // Transparent controls let mouse events pass to what lies below them.
  bool IsMouseEnabled() const { return mouseEnabled_; }
  void SetMouseEnabled(bool e) { mouseEnabled_ = e; }

  // Drawing attributes.
  UiColor GetBkColor() const { return bkColor_; }
  void SetBkColor(UiColor c) { bkColor_ = c; Invalidate(); }
  UiColor GetBorderColor() const { return borderColor_; }
  void SetBorderColor(UiColor c) { borderColor_ = c; Invalidate(); }
  int GetBorderSize() const { return borderSize_; }
  void SetBorderSize(int s) { borderSize_ = s < 0 ? 0 : s; Invalidate(); }
  const UiImage& GetBkImage() const { return bkImage_; }
  void SetBkImage(const UiImage& image) { bkImage_ = image; Invalidate(); }
  UiColor GetTextColor() const { return textColor_; }
  void SetTextColor(UiColor c) { textColor_ = c; Invalidate(); }
  UiColor GetDisabledTextColor() const { return disabledTextColor_; }
  void SetDisabledTextColor(UiColor c) { disabledTextColor_ = c; Invalidate(); }
  int GetFont() const { return font_; }
  void SetFont(int index) { font_ = index; Invalidate(); }
  unsigned GetTextAlign() const { return textAlign_; }
  void SetTextAlign(unsigned a) { textAlign_ = a; Invalidate(); }
  const UiRect& GetTextPadding() const { return textPadding_; }
  void SetTextPadding(const UiRect& r) { textPadding_ = r; Invalidate(); }

  // One skin attribute; false when the name is unknown to this kind or the
  // value cannot be read (the attribute is then left as it was).
  virtual bool SetAttribute(TextView name, TextView value);

  // The deepest visible control under `p` (this one or a descendant).
  virtual CControlUI* FindControl(UiPoint p);
  // Visits this control and its descendants until `visit` answers true.
  virtual CControlUI* Find(const std::function<bool(CControlUI*)>& visit);

  virtual void DoEvent(UiEvent& event);
  virtual void Paint(UiCanvas& canvas, const UiRect& dirty);

  // Attaches the subtree to a manager (called by the container and the
  // manager; null detaches it).
  virtual void SetManager(CControlManagerUI* manager, CControlUI* parent);

  void Invalidate();
  // Asks for a new layout of this control's parent at the next paint.
  void NeedParentUpdate();
  void NeedUpdate();

 protected:
  void Notify(TextView type, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  virtual void PaintBackground(UiCanvas& canvas);
  virtual void PaintStatusImage(UiCanvas&) {}
  virtual void PaintText(UiCanvas& canvas);
  void PaintBorder(UiCanvas& canvas);
  UiColor EffectiveTextColor() const;

  CControlManagerUI* manager_ = nullptr;
  CControlUI* parent_ = nullptr;
  Text name_;
  Text text_;
  Text toolTip_;
  std::uintptr_t tag_ = 0;
  UiRect pos_;
  UiRect fixedRect_;
  bool float_ = false;
  bool appPositioned_ = false;
  int fixedWidth_ = 0;
  int fixedHeight_ = 0;
  int minWidth_ = 0;
  int minHeight_ = 0;
  int maxWidth_ = 0;   // 0: no limit
  int maxHeight_ = 0;  // 0: no limit
  UiRect padding_;
  bool visible_ = true;
  bool enabled_ = true;
  bool mouseEnabled_ = true;
  bool hot_ = false;
  UiColor bkColor_ = 0;
  UiColor borderColor_ = 0;
  int borderSize_ = 0;
  UiImage bkImage_;
  UiColor textColor_ = 0xFF000000u;
  UiColor disabledTextColor_ = 0xFF808080u;
  int font_ = -1;
  unsigned textAlign_ = kAlignLeft | kAlignVCenter | kAlignSingleLine;
  UiRect textPadding_;
};

class CContainerUI : public CControlUI {
 public:
  ~CContainerUI() override;
  TextView GetClass() const override { return u"ContainerUI"; }

  int GetCount() const { return static_cast<int>(items_.size()); }
  CControlUI* GetItemAt(int index) const;
  int GetItemIndex(const CControlUI* control) const;
  // Takes ownership; false (and the control deleted) on a null control.
  virtual bool Add(CControlUI* control);
  virtual bool AddAt(CControlUI* control, int index);
  // Deletes the control.
  virtual bool Remove(CControlUI* control);
  virtual void RemoveAll();
  // Takes a child out without deleting it; the caller owns it.
  CControlUI* DetachAt(int index);

  const UiRect& GetInset() const { return inset_; }
  void SetInset(const UiRect& r) { inset_ = r; NeedUpdate(); }
  int GetChildPadding() const { return childPadding_; }
  void SetChildPadding(int p) { childPadding_ = p < 0 ? 0 : p; NeedUpdate(); }

  bool SetAttribute(TextView name, TextView value) override;
  void Arrange(const UiRect& rect) override;
  CControlUI* FindControl(UiPoint p) override;
  CControlUI* Find(const std::function<bool(CControlUI*)>& visit) override;
  void Paint(UiCanvas& canvas, const UiRect& dirty) override;
  void SetManager(CControlManagerUI* manager, CControlUI* parent) override;

 protected:
  // Places the flowing children inside `area` (every child is placed: float
  // and application-positioned ones at their own rectangles).
  virtual void LayoutChildren(const UiRect& area);
  // Float or application-positioned: placed outside the flow. Answers true
  // when it placed the child.
  bool PlaceOutsideFlow(CControlUI* child, const UiRect& area);
  virtual UiRect ChildArea() const { return pos_.Deflate(inset_); }

  std::vector<CControlUI*> items_;
  UiRect inset_;
  int childPadding_ = 0;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  TextView GetClass() const override { return u"VerticalLayoutUI"; }

 protected:
  void LayoutChildren(const UiRect& area) override;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  TextView GetClass() const override { return u"HorizontalLayoutUI"; }

 protected:
  void LayoutChildren(const UiRect& area) override;
};

// Shows one child at a time, each filling the layout.
class CTabLayoutUI : public CContainerUI {
 public:
  TextView GetClass() const override { return u"TabLayoutUI"; }
  int GetCurSel() const { return curSel_; }
  // False for an index outside the pages.
  bool SelectItem(int index);
  bool Add(CControlUI* control) override;
  bool SetAttribute(TextView name, TextView value) override;

 private:
  void ShowOnly(int index);
  int curSel_ = 0;
};

class CLabelUI : public CControlUI {
 public:
  CLabelUI() { mouseEnabled_ = true; }
  TextView GetClass() const override { return u"LabelUI"; }
};

// "TextUI": a label the caption hit test treats as part of the caption's
// controls (a click on it never drags the window).
class CTextUI : public CLabelUI {
 public:
  TextView GetClass() const override { return u"TextUI"; }
};

class CButtonUI : public CLabelUI {
 public:
  CButtonUI() { textAlign_ = kAlignCenter | kAlignVCenter | kAlignSingleLine; }
  TextView GetClass() const override { return u"ButtonUI"; }
  void SetNormalImage(const UiImage& i) { normalImage_ = i; Invalidate(); }
  void SetHotImage(const UiImage& i) { hotImage_ = i; Invalidate(); }
  void SetPushedImage(const UiImage& i) { pushedImage_ = i; Invalidate(); }
  void SetDisabledImage(const UiImage& i) { disabledImage_ = i; Invalidate(); }
  void SetHotBkColor(UiColor c) { hotBkColor_ = c; Invalidate(); }
  bool IsPushed() const { return pushed_; }
  // What a click does: sends "click".
  virtual void Activate();

  bool SetAttribute(TextView name, TextView value) override;
  void DoEvent(UiEvent& event) override;

 protected:
  void PaintStatusImage(UiCanvas& canvas) override;
  UiImage normalImage_, hotImage_, pushedImage_, disabledImage_;
  UiColor hotBkColor_ = 0;
  bool pushed_ = false;
};

// A check or radio button. Options sharing a group name are exclusive: a
// click selects one and clears the others; an option without a group
// toggles.
class COptionUI : public CButtonUI {
 public:
  ~COptionUI() override;
  TextView GetClass() const override { return u"OptionUI"; }
  const Text& GetGroup() const { return group_; }
  void SetGroup(TextView group);
  bool IsSelected() const { return selected_; }
  // A change sends "selectchanged" from the option that became selected (or,
  // without a group, from the toggled option).
  void Selected(bool selected);
  void SetSelectedImage(const UiImage& i) { selectedImage_ = i; Invalidate(); }
  void SetSelectedBkColor(UiColor c) { selectedBkColor_ = c; Invalidate(); }
  void Activate() override;
  bool SetAttribute(TextView name, TextView value) override;
  void SetManager(CControlManagerUI* manager, CControlUI* parent) override;

 protected:
  void PaintStatusImage(UiCanvas& canvas) override;

 private:
  Text group_;
  bool selected_ = false;
  UiImage selectedImage_;
  UiColor selectedBkColor_ = 0;
};

// A one-line edit box. Typing sends "textchanged", Enter sends "return". A
// hint text shows in the hint colour while the box is empty; in password
// mode every character shows as the password character.
class CEditUI : public CLabelUI {
 public:
  CEditUI();
  TextView GetClass() const override { return u"EditUI"; }
  bool WantsFocus() const override { return true; }
  void SetText(TextView text) override;
  const Text& GetHintText() const { return hintText_; }
  void SetHintText(TextView t) { hintText_ = Text(t); Invalidate(); }
  bool IsPasswordMode() const { return password_; }
  void SetPasswordMode(bool p) { password_ = p; Invalidate(); }
  void SetPasswordChar(char16_t c) { passwordChar_ = c; Invalidate(); }
  int GetMaxChar() const { return maxChar_; }
  void SetMaxChar(int n) { maxChar_ = n < 0 ? 0 : n; }
  bool IsReadOnly() const { return readOnly_; }
  void SetReadOnly(bool r) { readOnly_ = r; }
  // The text as it is drawn (password characters in password mode).
  Text DisplayText() const;

  bool SetAttribute(TextView name, TextView value) override;
  void DoEvent(UiEvent& event) override;

 protected:
  void PaintText(UiCanvas& canvas) override;

 private:
  Text hintText_;
  UiColor hintColor_ = 0xFF9A9A9Au;
  bool password_ = false;
  char16_t passwordChar_ = u'*';
  int maxChar_ = 255;
  bool readOnly_ = false;
  size_t caret_ = 0;
};

class CScrollBarUI : public CControlUI {
 public:
  TextView GetClass() const override { return u"ScrollBarUI"; }
  int GetScrollRange() const { return range_; }
  void SetScrollRange(int range);
  int GetScrollPos() const { return scrollPos_; }
  void SetScrollPos(int pos);
  void SetThumbColor(UiColor c) { thumbColor_ = c; Invalidate(); }
  bool SetAttribute(TextView name, TextView value) override;

 protected:
  void PaintStatusImage(UiCanvas& canvas) override;

 private:
  int range_ = 0;
  int scrollPos_ = 0;
  UiColor thumbColor_ = 0xFF6A7380u;
};

class CListUI;

// Gives the texts of the columns of callback rows.
class IListCallbackUI {
 public:
  virtual Text GetItemText(CControlUI* item, int index, int subItem) = 0;

 protected:
  ~IListCallbackUI() = default;
};

// The scrolling body of a list that holds its rows: a row's parent is the
// body, the body's parent is the list.
class CListBodyUI : public CContainerUI {
 public:
  explicit CListBodyUI(CListUI* owner) : owner_(owner) {}
  TextView GetClass() const override { return u"ListBodyUI"; }
  int GetScrollPos() const { return scrollPos_; }
  void SetScrollPos(int pos);
  int ContentHeight() const;
  CControlUI* FindControl(UiPoint p) override;
  void Paint(UiCanvas& canvas, const UiRect& dirty) override;

 protected:
  void LayoutChildren(const UiRect& area) override;

 private:
  CListUI* owner_;
  int scrollPos_ = 0;
};

// A row of a list or combo box. Its index is its place among the rows.
class CListElementUI : public CControlUI {
 public:
  CListElementUI() { textPadding_ = UiRect{4, 0, 4, 0}; }
  TextView GetClass() const override { return u"ListElementUI"; }
  // The list or combo box the row belongs to.
  CControlUI* GetOwner() const;
  int GetIndex() const;
  bool IsSelected() const { return selected_; }
  void SetSelectedState(bool s) { selected_ = s; Invalidate(); }
  void DoEvent(UiEvent& event) override;

 protected:
  void PaintBackground(UiCanvas& canvas) override;
  bool selected_ = false;
};

class CListLabelElementUI : public CListElementUI {
 public:
  TextView GetClass() const override { return u"ListLabelElementUI"; }
};

// A row whose column texts come from the list's IListCallbackUI (or, when
// no callback is set, from the texts given with SetColumnText).
class CListTextElementUI : public CListElementUI {
 public:
  TextView GetClass() const override { return u"ListTextElementUI"; }
  Text GetText() const override;
  Text GetColumnText(int column) const;
  void SetColumnText(int column, TextView text);

 protected:
  void PaintText(UiCanvas& canvas) override;

 private:
  std::vector<Text> columns_;
};

// Shared item colours of lists and combo boxes.
struct UiListInfo {
  int itemHeight = 22;
  UiColor itemTextColor = 0xFF000000u;
  UiColor itemBkColor = 0;
  UiColor hotBkColor = 0;
  UiColor selectedBkColor = 0xFF3A6EA5u;
  UiColor selectedTextColor = 0xFFFFFFFFu;
  int itemFont = -1;
  unsigned itemAlign = kAlignLeft | kAlignVCenter | kAlignSingleLine | kAlignEndEllipsis;
  std::vector<int> columnWidths;  // callback rows: widths of the columns
};

class CListUI : public CContainerUI {
 public:
  CListUI();
  TextView GetClass() const override { return u"ListUI"; }
  bool WantsFocus() const override { return true; }

  // Rows live in the body; these work on the rows, not on the body itself.
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;
  int GetItemCount() const { return body_->GetCount(); }
  CControlUI* GetItem(int index) const { return body_->GetItemAt(index); }

  int GetCurSel() const { return curSel_; }
  // Selects a row (-1 clears), scrolls it into view and sends "itemselect"
  // when the selection changed; false for an index out of range.
  bool SelectItem(int index, bool takeFocus = false);
  void PageUp();
  void PageDown();
  void Scroll(int delta);

  CListBodyUI* GetBody() const { return body_; }
  CScrollBarUI* GetVerticalScrollBar() const { return vscroll_; }
  IListCallbackUI* GetTextCallback() const { return callback_; }
  void SetTextCallback(IListCallbackUI* cb) { callback_ = cb; Invalidate(); }
  UiListInfo& GetListInfo() { return info_; }
  const UiListInfo& GetListInfo() const { return info_; }

  bool SetAttribute(TextView name, TextView value) override;
  void DoEvent(UiEvent& event) override;
  void SyncScrollBar();

 protected:
  void LayoutChildren(const UiRect& area) override;

 private:
  CListBodyUI* body_;
  CScrollBarUI* vscroll_;
  IListCallbackUI* callback_ = nullptr;
  UiListInfo info_;
  int curSel_ = -1;
};

// A combo box: a field showing the selected row and a drop-down list of
// rows. The rows stay children of the combo box; the drop-down window shows
// them while it is open.
class CComboUI : public CContainerUI {
 public:
  CComboUI();
  TextView GetClass() const override { return u"ComboUI"; }
  Text GetText() const override;
  int GetCurSel() const { return curSel_; }
  bool SelectItem(int index, bool takeFocus = false);
  int GetItemCount() const { return GetCount(); }
  const UiSize& GetDropBoxSize() const { return dropBoxSize_; }
  void SetDropBoxSize(UiSize s) { dropBoxSize_ = s; }
  UiListInfo& GetListInfo() { return info_; }
  const UiListInfo& GetListInfo() const { return info_; }
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;
  bool IsDropped() const { return dropped_; }
  // Opens or closes the drop-down (through the manager's window system).
  void Activate();
  void SetDropped(bool d) { dropped_ = d; Invalidate(); }

  bool SetAttribute(TextView name, TextView value) override;
  void DoEvent(UiEvent& event) override;
  CControlUI* FindControl(UiPoint p) override;
  void Paint(UiCanvas& canvas, const UiRect& dirty) override;

 protected:
  void LayoutChildren(const UiRect&) override {}

 private:
  UiSize dropBoxSize_{0, 150};
  UiListInfo info_;
  int curSel_ = -1;
  bool dropped_ = false;
};

// Placeholder of a hosted ActiveX control: the window system attaches the
// control (by class identifier) and keeps it on the control's rectangle.
class CActiveXUI : public CControlUI {
 public:
  TextView GetClass() const override { return u"ActiveXUI"; }
  const Text& GetClsid() const { return clsid_; }
  void SetClsid(TextView clsid) { clsid_ = Text(clsid); }
  bool SetAttribute(TextView name, TextView value) override;
  void Arrange(const UiRect& rect) override;
  void SetVisible(bool visible = true) override;
  // Hook of the window system's host (moves and shows the control window).
  std::function<void(const UiRect&, bool visible)> onPlace;

 private:
  Text clsid_;
};

class CWebBrowserUI : public CActiveXUI {
 public:
  CWebBrowserUI();
  TextView GetClass() const override { return u"WebBrowserUI"; }
  const Text& GetHomePage() const { return homePage_; }
  bool SetAttribute(TextView name, TextView value) override;

 private:
  Text homePage_;
};

}  // namespace kavrel
