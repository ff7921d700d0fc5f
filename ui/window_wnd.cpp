#include "ui/window_wnd.h"

#include "ui/paint_manager.h"

namespace kavrel {
namespace {

const wchar_t kWindowProperty[] = L"KavrelWndX";

}  // namespace

bool CWindowWnd::RegisterWindowClass() {
  WNDCLASSW wc = {};
  wc.style = GetClassStyle();
  wc.lpfnWndProc = CWindowWnd::WindowProc;
  wc.hInstance = CPaintManagerUI::GetInstance();
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = GetWindowClassName();
  ATOM atom = ::RegisterClassW(&wc);
  return atom != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass() {
  // A window class made from an existing one: ours keeps its procedure and
  // passes unhandled messages to it.
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
      !::GetClassInfoExW(CPaintManagerUI::GetInstance(), GetSuperClassName(), &wc)) {
    return false;
  }
  m_OldWndProc = wc.lpfnWndProc;
  wc.lpfnWndProc = CWindowWnd::ControlProc;
  wc.hInstance = CPaintManagerUI::GetInstance();
  wc.lpszClassName = GetWindowClassName();
  ATOM atom = ::RegisterClassExW(&wc);
  return atom != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu) {
  return Create(parent, name, style, exStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, menu);
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                        HMENU menu) {
  if (m_hWnd) return nullptr;
  if (GetSuperClassName() != nullptr ? !RegisterSuperclass() : !RegisterWindowClass()) return nullptr;
  m_hWnd = ::CreateWindowExW(exStyle, GetWindowClassName(), name, style, x, y, cx, cy, parent, menu,
                             CPaintManagerUI::GetInstance(), this);
  return m_hWnd;
}

HWND CWindowWnd::Subclass(HWND hWnd) {
  if (!::IsWindow(hWnd) || m_hWnd) return nullptr;
  m_OldWndProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CWindowWnd::ControlProc)));
  if (!m_OldWndProc) return nullptr;
  ::SetPropW(hWnd, kWindowProperty, this);
  m_bSubclassed = true;
  m_hWnd = hWnd;
  return m_hWnd;
}

void CWindowWnd::Unsubclass() {
  if (!m_bSubclassed || !::IsWindow(m_hWnd)) return;
  ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_OldWndProc));
  ::RemovePropW(m_hWnd, kWindowProperty);
  m_OldWndProc = ::DefWindowProcW;
  m_bSubclassed = false;
  m_hWnd = nullptr;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
  if (!::IsWindow(m_hWnd)) return;
  ::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
  if (!::IsWindow(m_hWnd)) return static_cast<UINT>(-1);
  HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
  if (owner) ::EnableWindow(owner, FALSE);
  UINT ret = 0;
  MSG msg;
  while (::IsWindow(m_hWnd)) {
    BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // WM_QUIT ends the modal loop; the outer loop must see it too.
      if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_CLOSE && msg.hwnd == m_hWnd) {
      ret = static_cast<UINT>(msg.wParam);
      // Enable the owner before the window goes, so the focus returns to it.
      if (owner) ::EnableWindow(owner, TRUE);
      if (owner) ::SetFocus(owner);
    }
    if (!CPaintManagerUI::TranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  if (owner) ::EnableWindow(owner, TRUE);
  if (owner) ::SetFocus(owner);
  return ret;
}

void CWindowWnd::Close(UINT ret) {
  if (::IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(ret), 0);
}

void CWindowWnd::CenterWindow() {
  if (!::IsWindow(m_hWnd)) return;
  RECT dlg;
  ::GetWindowRect(m_hWnd, &dlg);
  MONITORINFO mi = {};
  mi.cbSize = sizeof(mi);
  ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
  RECT area = mi.rcWork;
  RECT centre = area;
  HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &centre);
  int w = dlg.right - dlg.left;
  int h = dlg.bottom - dlg.top;
  int x = (centre.left + centre.right) / 2 - w / 2;
  int y = (centre.top + centre.bottom) / 2 - h / 2;
  if (x + w > area.right) x = area.right - w;
  if (y + h > area.bottom) y = area.bottom - h;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  ::SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT resourceId) {
  HINSTANCE inst = CPaintManagerUI::GetInstance();
  auto big = static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                             ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  if (big) ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  auto small = static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  if (small) ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  RECT rc;
  if (!::GetClientRect(m_hWnd, &rc)) return;
  if (cx != -1) rc.right = cx;
  if (cy != -1) rc.bottom = cy;
  DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
  DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
  if (!::AdjustWindowRectEx(&rc, style, !(style & WS_CHILD) && ::GetMenu(m_hWnd) != nullptr, exStyle)) return;
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(m_hWnd, msg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::PostMessageW(m_hWnd, msg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::CallWindowProcW(m_OldWndProc, m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
    self = static_cast<CWindowWnd*>(cs->lpCreateParams);
    self->m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY && self) {
      LRESULT r = ::CallWindowProcW(self->m_OldWndProc, hWnd, msg, wParam, lParam);
      ::SetWindowLongPtrW(self->m_hWnd, GWLP_USERDATA, 0);
      if (self->m_bSubclassed) self->Unsubclass();
      self->m_hWnd = nullptr;
      self->OnFinalMessage(hWnd);
      return r;
    }
  }
  if (self) return self->HandleMessage(msg, wParam, lParam);
  return ::DefWindowProcW(hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::ControlProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
    self = static_cast<CWindowWnd*>(cs->lpCreateParams);
    if (self) {
      ::SetPropW(hWnd, kWindowProperty, self);
      self->m_hWnd = hWnd;
    }
  } else {
    self = static_cast<CWindowWnd*>(::GetPropW(hWnd, kWindowProperty));
    if (msg == WM_NCDESTROY && self) {
      LRESULT r = ::CallWindowProcW(self->m_OldWndProc, hWnd, msg, wParam, lParam);
      if (self->m_bSubclassed) self->Unsubclass();
      ::RemovePropW(hWnd, kWindowProperty);
      self->m_hWnd = nullptr;
      self->OnFinalMessage(hWnd);
      return r;
    }
  }
  if (self) return self->HandleMessage(msg, wParam, lParam);
  return ::DefWindowProcW(hWnd, msg, wParam, lParam);
}

}  // namespace kavrel
