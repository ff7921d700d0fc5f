#include "ui/paint_manager.h"

#include <windowsx.h>
// GDI+ headers expect min/max and the COM basics.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>

#include <vector>

#include "ui/window_wnd.h"

namespace kavrel {
namespace {

HINSTANCE g_instance = nullptr;

std::vector<CPaintManagerUI*>& Managers() {
  static auto* managers = new std::vector<CPaintManagerUI*>();
  return *managers;
}

void StartGdiplus() {
  static bool started = false;
  if (started) return;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  // Never shut down: pictures may live until the process ends.
  started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

COLORREF ToColorRef(UiColor c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

UiKey ToKey(WPARAM vk) {
  switch (vk) {
    case VK_RETURN: return UiKey::kReturn;
    case VK_BACK: return UiKey::kBack;
    case VK_DELETE: return UiKey::kDelete;
    case VK_LEFT: return UiKey::kLeft;
    case VK_RIGHT: return UiKey::kRight;
    case VK_UP: return UiKey::kUp;
    case VK_DOWN: return UiKey::kDown;
    case VK_HOME: return UiKey::kHome;
    case VK_END: return UiKey::kEnd;
    case VK_PRIOR: return UiKey::kPrior;
    case VK_NEXT: return UiKey::kNext;
    default: return UiKey::kOther;
  }
}

// Draws on a memory DC with GDI for text and GDI+ for colours with alpha and
// pictures.
class GdiCanvas : public UiCanvas {
 public:
  GdiCanvas(HDC dc, CPaintManagerUI& manager) : dc_(dc), manager_(manager) {}

  void FillRect(const UiRect& r, UiColor c) override {
    if ((c >> 24) == 0 || r.IsEmpty()) return;
    if ((c >> 24) == 0xFF) {
      HBRUSH brush = ::CreateSolidBrush(ToColorRef(c));
      RECT rc{r.left, r.top, r.right, r.bottom};
      ::FillRect(dc_, &rc, brush);
      ::DeleteObject(brush);
      return;
    }
    Gdiplus::Graphics g(dc_);
    Gdiplus::SolidBrush brush{Gdiplus::Color(c)};
    g.FillRectangle(&brush, r.left, r.top, r.Width(), r.Height());
  }

  void FrameRect(const UiRect& r, UiColor c, int width) override {
    if (width <= 0) return;
    FillRect(UiRect{r.left, r.top, r.right, r.top + width}, c);
    FillRect(UiRect{r.left, r.bottom - width, r.right, r.bottom}, c);
    FillRect(UiRect{r.left, r.top + width, r.left + width, r.bottom - width}, c);
    FillRect(UiRect{r.right - width, r.top + width, r.right, r.bottom - width}, c);
  }

  bool DrawImage(const UiImage& image, const UiRect& dest) override {
    Gdiplus::Bitmap* bitmap = manager_.GetImage(image.file);
    if (!bitmap || dest.IsEmpty()) return false;
    UiRect src = image.source;
    int iw = static_cast<int>(bitmap->GetWidth());
    int ih = static_cast<int>(bitmap->GetHeight());
    if (src.IsEmpty()) src = UiRect{0, 0, iw, ih};
    src = src.Intersect(UiRect{0, 0, iw, ih});
    if (src.IsEmpty()) return false;
    Gdiplus::Graphics g(dc_);
    g.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::Rect to(dest.left, dest.top, dest.Width(), dest.Height());
    g.DrawImage(bitmap, to, src.left, src.top, src.Width(), src.Height(), Gdiplus::UnitPixel);
    return true;
  }

  void DrawText(TextView text, const UiRect& r, UiColor c, int font, unsigned align) override {
    if (text.empty() || r.IsEmpty() || (c >> 24) == 0) return;
    Text t(text);
    RECT rc{r.left, r.top, r.right, r.bottom};
    UINT flags = DT_NOPREFIX;
    if (align & kAlignCenter) flags |= DT_CENTER;
    if (align & kAlignRight) flags |= DT_RIGHT;
    if (align & kAlignVCenter) flags |= DT_VCENTER;
    if (align & kAlignBottom) flags |= DT_BOTTOM;
    if (align & kAlignSingleLine) flags |= DT_SINGLELINE;
    else flags |= DT_WORDBREAK;
    if (align & kAlignEndEllipsis) flags |= DT_END_ELLIPSIS;
    HGDIOBJ old = ::SelectObject(dc_, manager_.GetHFont(font));
    ::SetBkMode(dc_, TRANSPARENT);
    ::SetTextColor(dc_, ToColorRef(c));
    ::DrawTextW(dc_, AsWide(t), static_cast<int>(t.size()), &rc, flags);
    ::SelectObject(dc_, old);
  }

  void PushClip(const UiRect& r) override {
    saved_.push_back(::SaveDC(dc_));
    ::IntersectClipRect(dc_, r.left, r.top, r.right, r.bottom);
  }

  void PopClip() override {
    if (saved_.empty()) return;
    ::RestoreDC(dc_, saved_.back());
    saved_.pop_back();
  }

 private:
  HDC dc_;
  CPaintManagerUI& manager_;
  std::vector<int> saved_;
};

// The drop-down list of a combo box: a pop-up that shows the combo's rows
// and closes when a row is chosen or the pop-up loses the activation.
class ComboDropWnd : public CWindowWnd {
 public:
  ComboDropWnd(CPaintManagerUI& owner, CComboUI* combo) : owner_(owner), combo_(combo) {}

  void Open() {
    HWND parent = owner_.GetPaintWindow();
    const UiRect& pos = combo_->GetPos();
    const UiListInfo& info = combo_->GetListInfo();
    int rows = combo_->GetItemCount();
    int cx = combo_->GetDropBoxSize().cx > 0 ? combo_->GetDropBoxSize().cx : pos.Width();
    int cy = std::min(combo_->GetDropBoxSize().cy > 0 ? combo_->GetDropBoxSize().cy : 150, rows * info.itemHeight + 2);
    if (cy < info.itemHeight) cy = info.itemHeight + 2;
    POINT pt{pos.left, pos.bottom};
    ::ClientToScreen(parent, &pt);
    Create(parent, L"", WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, pt.x, pt.y, cx, cy);
    if (!m_hWnd) {
      delete this;
      return;
    }
    combo_->SetDropped(true);
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::SetFocus(m_hWnd);
  }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"KavrelComboDrop"; }
  UINT GetClassStyle() const override { return CS_DBLCLKS | CS_DROPSHADOW; }

  void LayoutRows() {
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    int h = combo_->GetListInfo().itemHeight;
    for (int i = 0; i < combo_->GetItemCount(); ++i) {
      combo_->GetItemAt(i)->Arrange(UiRect{0, i * h - scroll_, rc.right, (i + 1) * h - scroll_});
    }
  }

  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        LayoutRows();
        GdiCanvas canvas(dc, owner_);
        UiColor bk = combo_->GetBkColor() ? combo_->GetBkColor() : 0xFFFFFFFFu;
        canvas.FillRect(UiRect{0, 0, rc.right, rc.bottom}, bk);
        UiRect all{0, 0, rc.right, rc.bottom};
        for (int i = 0; i < combo_->GetItemCount(); ++i) combo_->GetItemAt(i)->Paint(canvas, all);
        ::EndPaint(m_hWnd, &ps);
        return 0;
      }
      case WM_LBUTTONUP: {
        LayoutRows();
        UiPoint p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        for (int i = 0; i < combo_->GetItemCount(); ++i) {
          CControlUI* row = combo_->GetItemAt(i);
          if (row->GetPos().Contains(p)) {
            UiEvent e;
            e.type = UiEvent::kButtonDown;
            e.point = p;
            row->DoEvent(e);
            break;
          }
        }
        ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return 0;
      }
      case WM_MOUSEWHEEL: {
        int h = combo_->GetListInfo().itemHeight;
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        int maximum = std::max(0, combo_->GetItemCount() * h - static_cast<int>(rc.bottom));
        scroll_ = std::clamp(scroll_ - GET_WHEEL_DELTA_WPARAM(wParam) / 120 * h, 0, maximum);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
      }
      case WM_KEYDOWN:
        if (wParam == VK_ESCAPE || wParam == VK_RETURN) ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return 0;
      case WM_KILLFOCUS:
        ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        break;
      case WM_DESTROY:
        combo_->SetDropped(false);
        break;
      default:
        break;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
  }

  void OnFinalMessage(HWND) override { delete this; }

 private:
  CPaintManagerUI& owner_;
  CComboUI* combo_;
  int scroll_ = 0;
};

}  // namespace

CPaintManagerUI::CPaintManagerUI() { StartGdiplus(); }

CPaintManagerUI::~CPaintManagerUI() {
  auto& all = Managers();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  for (auto& f : fonts_) ::DeleteObject(f.second);
}

void CPaintManagerUI::Init(HWND hWnd) {
  hWnd_ = hWnd;
  auto& all = Managers();
  if (std::find(all.begin(), all.end(), this) == all.end()) all.push_back(this);
  RECT rc{};
  if (::GetClientRect(hWnd, &rc)) SetClientSize(UiSize{rc.right, rc.bottom});
}

UiSize CPaintManagerUI::GetClientSize() const {
  RECT rc{};
  if (hWnd_ && ::GetClientRect(hWnd_, &rc)) return UiSize{rc.right, rc.bottom};
  return CControlManagerUI::GetClientSize();
}

void CPaintManagerUI::SetMinInfo(UiSize s) { CControlManagerUI::SetMinInfo(s); }

void CPaintManagerUI::Invalidate(const UiRect& r) {
  if (!hWnd_) return;
  RECT rc{r.left, r.top, r.right, r.bottom};
  ::InvalidateRect(hWnd_, &rc, FALSE);
}

void CPaintManagerUI::ShowDropDown(CComboUI* combo) {
  if (!hWnd_ || !combo || combo->IsDropped()) return;
  (new ComboDropWnd(*this, combo))->Open();
}

Gdiplus::Bitmap* CPaintManagerUI::GetImage(const Text& file) {
  auto it = images_.find(file);
  if (it != images_.end()) return it->second.get();
  Text path = ResolveResource(file);
  std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromFile(AsWide(path)));
  if (bitmap && bitmap->GetLastStatus() != Gdiplus::Ok) bitmap.reset();
  if (!bitmap) failedImages_.push_back(file);
  return (images_[file] = std::move(bitmap)).get();
}

HFONT CPaintManagerUI::GetHFont(int index) {
  if (index < 0 || index >= GetFontCount()) index = -1;
  auto it = fonts_.find(index);
  if (it != fonts_.end()) return it->second;
  const UiFont& f = GetFont(index);
  Text face = f.face.substr(0, LF_FACESIZE - 1);
  HFONT font = ::CreateFontW(-f.size, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, f.italic, f.underline, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, AsWide(face));
  if (!font) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  fonts_[index] = font;
  return font;
}

void CPaintManagerUI::PaintTo(HDC dc, const RECT& dirty) {
  UpdateLayout();
  UiSize size = GetClientSize();
  if (size.cx <= 0 || size.cy <= 0) return;
  // Paint off-screen first so nothing flickers.
  HDC mem = ::CreateCompatibleDC(dc);
  HBITMAP bitmap = ::CreateCompatibleBitmap(dc, size.cx, size.cy);
  HGDIOBJ old = ::SelectObject(mem, bitmap);
  {
    GdiCanvas canvas(mem, *this);
    UiRect d{dirty.left, dirty.top, dirty.right, dirty.bottom};
    canvas.FillRect(UiRect{0, 0, size.cx, size.cy}, 0xFF000000u);
    if (CControlUI* root = GetRoot()) root->Paint(canvas, d);
  }
  ::BitBlt(dc, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, mem, dirty.left, dirty.top,
           SRCCOPY);
  ::SelectObject(mem, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(mem);
}

bool CPaintManagerUI::MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (!hWnd_) return false;
  result = 0;
  UiPoint p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (msg) {
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hWnd_, &ps);
      PaintTo(dc, ps.rcPaint);
      ::EndPaint(hWnd_, &ps);
      return true;
    }
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) {
        SetClientSize(UiSize{LOWORD(lParam), HIWORD(lParam)});
        NeedUpdate();
        UpdateLayout();
        ::InvalidateRect(hWnd_, nullptr, FALSE);
      }
      return false;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      UiSize minimum = GetMinInfo();
      if (minimum.cx > 0) info->ptMinTrackSize.x = minimum.cx;
      if (minimum.cy > 0) info->ptMinTrackSize.y = minimum.cy;
      UiSize maximum = GetMaxInfo();
      if (maximum.cx > 0) info->ptMaxTrackSize.x = maximum.cx;
      if (maximum.cy > 0) info->ptMaxTrackSize.y = maximum.cy;
      return false;
    }
    case WM_LBUTTONDOWN:
      ::SetFocus(hWnd_);
      ::SetCapture(hWnd_);
      return MouseDown(p);
    case WM_LBUTTONUP:
      if (::GetCapture() == hWnd_) ::ReleaseCapture();
      return MouseUp(p);
    case WM_LBUTTONDBLCLK:
      ::SetCapture(hWnd_);
      return DoubleClick(p);
    case WM_MOUSEMOVE:
      if (!trackingMouse_) {
        TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, hWnd_, 0};
        trackingMouse_ = ::TrackMouseEvent(&t) != FALSE;
      }
      MouseMove(p);
      return false;
    case WM_MOUSELEAVE:
      trackingMouse_ = false;
      MouseMove(UiPoint{-1, -1});
      return false;
    case WM_MOUSEWHEEL: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ::ScreenToClient(hWnd_, &pt);
      return Wheel(UiPoint{pt.x, pt.y}, GET_WHEEL_DELTA_WPARAM(wParam));
    }
    case WM_CHAR:
      return Char(static_cast<char16_t>(wParam));
    case WM_KEYDOWN:
      return KeyDown(ToKey(wParam));
    case WM_KILLFOCUS:
      return false;
    default:
      return false;
  }
}

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) {
  if (!filter || std::find(preFilters_.begin(), preFilters_.end(), filter) != preFilters_.end()) return false;
  preFilters_.push_back(filter);
  return true;
}

bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
  auto it = std::find(preFilters_.begin(), preFilters_.end(), filter);
  if (it == preFilters_.end()) return false;
  preFilters_.erase(it);
  return true;
}

void CPaintManagerUI::SetInstance(HINSTANCE instance) { g_instance = instance; }

HINSTANCE CPaintManagerUI::GetInstance() {
  if (!g_instance) g_instance = ::GetModuleHandleW(nullptr);
  return g_instance;
}

Text CPaintManagerUI::GetInstancePath() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = ::GetModuleFileNameW(GetInstance(), path, MAX_PATH);
  Text p = FromWide(path, n);
  size_t slash = p.find_last_of(u"\\/");
  return slash == Text::npos ? Text() : p.substr(0, slash + 1);
}

bool CPaintManagerUI::TranslateMessage(const MSG* msg) {
  if (!msg) return false;
  // Filters of the window the message is for, or of the top-level window
  // that holds it, see it first.
  HWND root = msg->hwnd ? ::GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
  std::vector<CPaintManagerUI*> managers = Managers();
  for (CPaintManagerUI* m : managers) {
    auto& all = Managers();
    if (std::find(all.begin(), all.end(), m) == all.end()) continue;
    if (m->hWnd_ != msg->hwnd && m->hWnd_ != root) continue;
    std::vector<IMessageFilterUI*> filters = m->preFilters_;
    for (IMessageFilterUI* f : filters) {
      bool handled = false;
      f->MessageHandler(msg->message, msg->wParam, msg->lParam, handled);
      if (handled) return true;
    }
  }
  return false;
}

void CPaintManagerUI::MessageLoop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!TranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

}  // namespace kavrel
