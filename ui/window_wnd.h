// CWindowWnd: the base of every window of the toolkit (Windows only).
//
// A derived class names its window class and class style; Create registers
// the class on first use and creates the window. The static window
// procedure takes `this` from the creation parameters at WM_NCCREATE, keeps
// it in the window's user data and forwards every message to HandleMessage,
// whose default passes it on to the previous window procedure (DefWindowProc
// for our own classes, the original procedure for superclassed or
// subclassed windows). After WM_NCDESTROY the object no longer has a window
// and OnFinalMessage runs: a window that owns itself may delete itself
// there. Everything runs on the thread that created the window.
#pragma once

#include <windows.h>

namespace kavrel {

class CWindowWnd {
 public:
  CWindowWnd() = default;
  virtual ~CWindowWnd() = default;
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  HWND GetHWND() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  bool RegisterWindowClass();
  bool RegisterSuperclass();

  HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
  HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu = nullptr);
  // Takes over an existing window; Unsubclass gives it back.
  HWND Subclass(HWND hWnd);
  void Unsubclass();

  void ShowWindow(bool show = true, bool takeFocus = true);
  // Runs a message loop until the window is gone. The owner is disabled
  // meanwhile and enabled again when the window closes; answers the code
  // given to Close (the wParam of the WM_CLOSE that ended the window).
  UINT ShowModal();
  // Posts WM_CLOSE with `ret` as wParam.
  void Close(UINT ret = IDOK);
  // Centres over the owner, or over the work area of the window's monitor
  // when there is no visible owner; stays inside that work area.
  void CenterWindow();
  // Big and small window icons from a resource of the program.
  void SetIcon(UINT resourceId);
  void ResizeClient(int cx = -1, int cy = -1);

  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

 protected:
  virtual const wchar_t* GetWindowClassName() const = 0;
  virtual const wchar_t* GetSuperClassName() const { return nullptr; }
  virtual UINT GetClassStyle() const { return 0; }

  virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  virtual void OnFinalMessage(HWND) {}

  static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;
  WNDPROC m_OldWndProc = ::DefWindowProcW;
  bool m_bSubclassed = false;
};

}  // namespace kavrel
