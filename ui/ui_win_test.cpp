#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "ui/builder.h"
#include "ui/paint_manager.h"
#include "ui/window_wnd.h"

namespace kavrel {
namespace {

Text TestData() { return AsciiToText(std::string(KAVREL_SOURCE_DIR) + "/ui/testdata/"); }

// A skinned top-level window of the kind the client builds, recording the
// notifications it receives.
class SkinWnd : public CWindowWnd, public INotifyUI {
 public:
  explicit SkinWnd(const wchar_t* skin) : skin_(skin) {}
  ~SkinWnd() override {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
  }

  void Notify(TNotifyUI& msg) override {
    types.push_back(msg.sType);
    senders.push_back(msg.pSender);
  }
  CPaintManagerUI pm;
  std::vector<Text> types;
  std::vector<CControlUI*> senders;
  bool built = false;

  template <typename T = CControlUI>
  T* Find(const char16_t* name) {
    auto* c = dynamic_cast<T*>(pm.FindControl(name));
    EXPECT_NE(c, nullptr) << TextToUtf8(name);
    return c;
  }
  LPARAM CentreOf(CControlUI* c) {
    const UiRect& r = c->GetPos();
    return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  void Click(CControlUI* c) {
    SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(c));
    SendMessage(WM_LBUTTONUP, 0, CentreOf(c));
  }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"KavrelTestSkinWnd"; }
  UINT GetClassStyle() const override { return CS_DBLCLKS; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_CREATE) {
      pm.Init(m_hWnd);
      CDialogBuilder builder;
      CControlUI* root = builder.Create(FromWide(skin_), &pm);
      if (!root) return -1;
      pm.AttachDialog(root);
      pm.AddNotifier(this);
      built = true;
      return 0;
    }
    LRESULT result = 0;
    if (pm.MessageHandler(msg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
  }

 private:
  const wchar_t* skin_;
};

class UiWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    CControlManagerUI::SetResourcePath(TestData());
    ASSERT_NE(wnd.Create(nullptr, L"skin test", WS_POPUP | WS_VISIBLE, 0, 20, 20, 400, 300), nullptr);
    ASSERT_TRUE(wnd.built);
  }
  SkinWnd wnd{L"window.xml"};
};

TEST_F(UiWindow, ControlsAreFoundByNameWithTheirKind) {
  struct Case { const char16_t* name; const char16_t* cls; };
  for (const Case& c : {Case{u"title", u"TextUI"}, Case{u"closebtn", u"ButtonUI"}, Case{u"o1", u"OptionUI"},
                        Case{u"user", u"EditUI"}, Case{u"types", u"ComboUI"}, Case{u"tabs", u"TabLayoutUI"},
                        Case{u"list", u"ListUI"}}) {
    CControlUI* control = wnd.pm.FindControl(c.name);
    ASSERT_NE(control, nullptr) << TextToUtf8(c.name);
    EXPECT_EQ(control->GetClass(), c.cls);
  }
  EXPECT_EQ(wnd.pm.GetCaptionRect(), (UiRect{0, 0, -40, 24}));
  EXPECT_EQ(wnd.pm.GetSizeBox(), (UiRect{3, 3, 3, 3}));
  EXPECT_EQ(wnd.pm.GetRoundCorner(), (UiSize{4, 4}));
  EXPECT_EQ(wnd.pm.FindControl(UiPoint{390, 10}), wnd.pm.FindControl(u"closebtn"));
}

TEST_F(UiWindow, MouseAndKeyboardMessagesBecomeNotifications) {
  CControlUI* close = wnd.Find(u"closebtn");
  wnd.Click(close);
  ASSERT_EQ(wnd.types.size(), 1u);
  EXPECT_EQ(wnd.types[0], u"click");
  EXPECT_EQ(wnd.senders[0], close);

  auto* o2 = wnd.Find<COptionUI>(u"o2");
  wnd.Click(o2);
  EXPECT_TRUE(o2->IsSelected());
  EXPECT_FALSE(wnd.Find<COptionUI>(u"o1")->IsSelected());
  EXPECT_EQ(wnd.types.back(), u"selectchanged");
  EXPECT_EQ(wnd.senders.back(), o2);

  auto* edit = wnd.Find<CEditUI>(u"user");
  wnd.Click(edit);
  wnd.SendMessage(WM_CHAR, L'k');
  wnd.SendMessage(WM_CHAR, 0xD55C);
  EXPECT_EQ(edit->GetText(), u"k\uD55C");
  EXPECT_EQ(wnd.types.back(), u"textchanged");
  wnd.SendMessage(WM_KEYDOWN, VK_RETURN);
  EXPECT_EQ(wnd.types.back(), u"return");
  EXPECT_EQ(wnd.senders.back(), edit);
}

TEST_F(UiWindow, ListRowsReportClicksAndDoubleClicks) {
  auto* list = wnd.Find<CListUI>(u"list");
  for (int i = 0; i < 30; ++i) {
    auto* row = new CListLabelElementUI();
    row->SetText(AsciiToText("channel " + std::to_string(i)));
    row->SetTag(static_cast<std::uintptr_t>(100 + i));
    list->Add(row);
  }
  wnd.pm.UpdateLayout();
  CControlUI* row = list->GetItem(2);
  LPARAM at = wnd.CentreOf(row);
  wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
  wnd.SendMessage(WM_LBUTTONUP, 0, at);
  wnd.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  wnd.SendMessage(WM_LBUTTONUP, 0, at);
  ASSERT_EQ(wnd.types.size(), 3u);
  EXPECT_EQ(wnd.types[0], u"itemselect");
  EXPECT_EQ(wnd.senders[0], list);
  EXPECT_EQ(wnd.types[1], u"itemclick");
  EXPECT_EQ(wnd.types[2], u"itemdoubleclick");
  EXPECT_EQ(wnd.senders[2]->GetParent()->GetParent(), list);
  EXPECT_EQ(wnd.senders[2]->GetTag(), 102u);

  list->PageDown();
  EXPECT_GT(list->GetBody()->GetScrollPos(), 0);
  list->RemoveAll();
  EXPECT_EQ(list->GetItemCount(), 0);
}

TEST_F(UiWindow, ComboDropDownChoosesARow) {
  auto* combo = wnd.Find<CComboUI>(u"types");
  wnd.Click(combo);
  ASSERT_TRUE(combo->IsDropped());
  HWND drop = ::FindWindowW(L"KavrelComboDrop", nullptr);
  ASSERT_NE(drop, nullptr);
  // The second row of 22 pixels.
  ::SendMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(10, 30));
  EXPECT_EQ(combo->GetCurSel(), 1);
  EXPECT_EQ(combo->GetText(), u"News");
  EXPECT_EQ(wnd.types.back(), u"itemselect");
  EXPECT_EQ(wnd.senders.back(), combo);
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  EXPECT_FALSE(::IsWindow(drop));
  EXPECT_FALSE(combo->IsDropped());
}

TEST_F(UiWindow, SetPositionsSurviveAResizeAndTabsSwitch) {
  CControlUI* title = wnd.Find(u"title");
  title->SetPos(UiRect{5, 100, 105, 120});
  ::SetWindowPos(wnd, nullptr, 0, 0, 600, 450, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(wnd.pm.GetClientSize(), (UiSize{600, 450}));
  EXPECT_EQ(title->GetPos(), (UiRect{5, 100, 105, 120}));
  EXPECT_EQ(wnd.Find(u"caption")->GetPos().right, 600);

  auto* tabs = wnd.Find<CTabLayoutUI>(u"tabs");
  EXPECT_TRUE(tabs->SelectItem(1));
  EXPECT_FALSE(wnd.Find(u"page0")->IsVisible());
  EXPECT_TRUE(wnd.Find(u"page1")->IsVisible());
}

TEST_F(UiWindow, PaintsSkinColoursAndSkipsAMissingPicture) {
  HDC screen = ::GetDC(wnd);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, 400, 300);
  ::SelectObject(mem, bmp);
  wnd.pm.PaintTo(mem, RECT{0, 0, 400, 300});
  EXPECT_EQ(::GetPixel(mem, 5, 20), RGB(0x0E, 0x11, 0x16));    // caption strip
  EXPECT_EQ(::GetPixel(mem, 395, 2), RGB(0x80, 0x30, 0x30));   // close button
  EXPECT_EQ(::GetPixel(mem, 300, 200), RGB(0x10, 0x10, 0x10)); // list body
  ::DeleteDC(mem);
  ::DeleteObject(bmp);
  ::ReleaseDC(wnd, screen);
  ASSERT_EQ(wnd.pm.FailedImages().size(), 1u);
  EXPECT_EQ(wnd.pm.FailedImages()[0], u"missing-picture.png");
}

// A dialog that closes itself with a code once its modal loop runs, and
// notes whether its owner was disabled at that moment.
class ModalWnd : public CWindowWnd {
 public:
  bool ownerWasDisabled = false;
  HWND owner = nullptr;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"KavrelTestModal"; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_APP) {
      ownerWasDisabled = !::IsWindowEnabled(owner);
      Close(7);
      return 0;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
  }
};

TEST_F(UiWindow, ModalLoopDisablesTheOwnerAndAnswersTheCloseCode) {
  ModalWnd dialog;
  dialog.owner = wnd;
  ASSERT_NE(dialog.Create(wnd, L"modal", WS_POPUP, 0, 0, 0, 100, 80), nullptr);
  dialog.CenterWindow();
  RECT rc;
  ::GetWindowRect(dialog, &rc);
  EXPECT_EQ(rc.left, 20 + 200 - 50);
  dialog.PostMessage(WM_APP);
  EXPECT_EQ(dialog.ShowModal(), 7u);
  EXPECT_TRUE(dialog.ownerWasDisabled);
  EXPECT_TRUE(::IsWindowEnabled(wnd));
  EXPECT_EQ(dialog.GetHWND(), nullptr);
}

// Renders the manager's tree into a bitmap of the client size.
class Snapshot {
 public:
  Snapshot(CPaintManagerUI& pm, int cx, int cy) : cx_(cx), cy_(cy) {
    HDC screen = ::GetDC(nullptr);
    dc_ = ::CreateCompatibleDC(screen);
    bmp_ = ::CreateCompatibleBitmap(screen, cx, cy);
    ::ReleaseDC(nullptr, screen);
    ::SelectObject(dc_, bmp_);
    pm.PaintTo(dc_, RECT{0, 0, cx, cy});
  }
  ~Snapshot() {
    ::DeleteDC(dc_);
    ::DeleteObject(bmp_);
  }
  COLORREF At(int x, int y) const { return ::GetPixel(dc_, x, y); }
  // Keeps the picture as a 24-bit BMP beside the test for a person to look at.
  void Save(const char* file) const {
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof(h);
    h.biWidth = cx_;
    h.biHeight = cy_;
    h.biPlanes = 1;
    h.biBitCount = 24;
    int stride = (cx_ * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * cy_);
    ::GetDIBits(dc_, bmp_, 0, cy_, pixels.data(), reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS);
    BITMAPFILEHEADER f = {};
    f.bfType = 0x4D42;
    f.bfOffBits = sizeof(f) + sizeof(h);
    f.bfSize = f.bfOffBits + static_cast<DWORD>(pixels.size());
    if (FILE* out = std::fopen(file, "wb")) {
      std::fwrite(&f, sizeof(f), 1, out);
      std::fwrite(&h, sizeof(h), 1, out);
      std::fwrite(pixels.data(), 1, pixels.size(), out);
      std::fclose(out);
    }
  }

 private:
  int cx_, cy_;
  HDC dc_;
  HBITMAP bmp_;
};

// The main window's skin as it ships, in a window of its designed size.
TEST(MainSkin, HasEveryNamedControlAndPaintsItsLook) {
  CControlManagerUI::SetResourcePath(AsciiToText(std::string(KAVREL_SOURCE_DIR) + "/install/skin/Default/"));
  SkinWnd wnd(L"MainUI.xml");
  ASSERT_NE(wnd.Create(nullptr, L"main", WS_POPUP | WS_VISIBLE, 0, 0, 0, 936, 529), nullptr);
  ASSERT_TRUE(wnd.built);
  struct Case { const char16_t* names; const char16_t* cls; };
  const Case cases[] = {
      {u"frameWnd listcontrol infolayout channellayout tvlayout listlayout listload listloadgifbk tvguidelayout "
       u"noticeload noticeloadgifbk", u"ContainerUI"},
      {u"hidebtn showbtn cutbtn normalbtn maxbtn resbtn topbtn notopbtn closebtn minbtn pgupbtn pgdnbtn "
       u"listloadgifbkbtn noticeloadgifbkbtn noticeloadbtn listloadbtn loginbtn logoutbtn regbtn modifypsd appbtn "
       u"homebtn queryuser feedbtn upgradebtn", u"ButtonUI"},
      {u"channeltype", u"ComboUI"},
      {u"channellist playinglist playlist firstdaylist seconddaylist thirddaylist", u"ListUI"},
      {u"listloadtime noticeloadtime channelname nonoticelist", u"LabelUI"},
      {u"usrname", u"TextUI"},
      {u"tvsepline", u"ControlUI"},
      {u"guidetab tvswitch", u"TabLayoutUI"},
      {u"guideplaying guideplay guidefirstday guidesecondday guidethirdday", u"OptionUI"},
      {u"iewnd", u"WebBrowserUI"},
      {u"-1", u"ListLabelElementUI"},
  };
  for (const Case& c : cases) {
    Text names = c.names;
    size_t start = 0;
    while (start < names.size()) {
      size_t end = names.find(u' ', start);
      if (end == Text::npos) end = names.size();
      Text name = names.substr(start, end - start);
      start = end + 1;
      CControlUI* control = wnd.pm.FindControl(name);
      ASSERT_NE(control, nullptr) << TextToUtf8(name);
      EXPECT_EQ(control->GetClass(), c.cls) << TextToUtf8(name);
    }
  }
  EXPECT_EQ(wnd.Find(u"-1")->GetParent(), wnd.pm.FindControl(u"channeltype"));

  {
    Snapshot shot(wnd.pm, 936, 529);
    shot.Save("main_ui.bmp");
    EXPECT_EQ(shot.At(450, 12), RGB(0x0F, 0x11, 0x15));   // caption strip
    EXPECT_EQ(shot.At(300, 300), RGB(0x00, 0x00, 0x00));  // video area
    EXPECT_EQ(shot.At(588, 300), RGB(0x14, 0x17, 0x1C));  // splitter strip
    EXPECT_EQ(shot.At(650, 40), RGB(0x23, 0x28, 0x32));   // side panel
  }

  auto* list = wnd.Find<CListUI>(u"channellist");
  for (int i = 0; i < 20; ++i) {
    auto* row = new CListLabelElementUI();
    row->SetText(u"KBS " + AsciiToText(std::to_string(i)));
    list->Add(row);
  }
  list->SelectItem(1);
  wnd.pm.UpdateLayout();
  const UiRect row = list->GetItem(1)->GetPos();
  Snapshot filled(wnd.pm, 936, 529);
  filled.Save("main_ui_list.bmp");
  EXPECT_EQ(filled.At(row.right - 3, row.top + 2), RGB(0x3D, 0x6F, 0xB6));  // selected row
  EXPECT_NE(filled.At(row.right - 3, row.bottom + 2), RGB(0x3D, 0x6F, 0xB6));
}

TEST(UiWindowBuild, AMissingSkinRefusesTheWindow) {
  CControlManagerUI::SetResourcePath(TestData());
  SkinWnd wnd(L"no-such-skin.xml");
  EXPECT_EQ(wnd.Create(nullptr, L"", WS_POPUP, 0, 0, 0, 100, 100), nullptr);
  EXPECT_FALSE(wnd.built);
}

}  // namespace
}  // namespace kavrel
