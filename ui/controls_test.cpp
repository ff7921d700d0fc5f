#include "ui/controls.h"

#include <gtest/gtest.h>

#include <memory>

#include "ui/builder.h"
#include "ui/manager.h"

namespace kavrel {
namespace {

struct Recorded {
  Text type;
  CControlUI* sender;
  std::uintptr_t wParam;
};

class RecordingSink : public INotifyUI {
 public:
  void Notify(TNotifyUI& msg) override {
    seen.push_back({msg.sType, msg.pSender, msg.wParam});
    if (onNotify) onNotify(msg);
  }
  Text Types() const {
    Text t;
    for (const auto& r : seen) t += (t.empty() ? u"" : u" ") + r.type;
    return t;
  }
  std::vector<Recorded> seen;
  std::function<void(TNotifyUI&)> onNotify;
};

// A manager with one skin built from text, sized 400 x 300.
class UiFixture : public ::testing::Test {
 protected:
  void Load(const char16_t* body) {
    Text skin = u"<Window size=\"400,300\">" + Text(body) + u"</Window>";
    CDialogBuilder builder;
    CControlUI* root = builder.CreateFromText(skin, &manager);
    ASSERT_NE(root, nullptr) << TextToUtf8(builder.LastError());
    manager.SetClientSize({400, 300});
    ASSERT_TRUE(manager.AttachDialog(root));
    manager.AddNotifier(&sink);
  }
  template <typename T = CControlUI>
  T* Find(const char16_t* name) {
    auto* c = dynamic_cast<T*>(manager.FindControl(name));
    EXPECT_NE(c, nullptr) << TextToUtf8(name);
    return c;
  }
  static UiPoint Centre(CControlUI* c) {
    const UiRect& r = c->GetPos();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void Click(CControlUI* c) {
    UiPoint p = Centre(c);  // the press may delete the control
    manager.MouseDown(p);
    manager.MouseUp(p);
  }
  void DoubleClick(CControlUI* c) {
    Click(c);
    manager.DoubleClick(Centre(c));
    manager.MouseUp(Centre(c));
  }

  CControlManagerUI manager;
  RecordingSink sink;
};

TEST_F(UiFixture, VerticalAndHorizontalLayoutShareWhatFixedSizesLeave) {
  Load(u"<VerticalLayout name='root' inset='10,10,10,10' childpadding='5'>"
       u"  <Control name='top' height='30'/>"
       u"  <HorizontalLayout name='row'>"
       u"    <Control name='left' width='100' padding='2,0,3,0'/>"
       u"    <Control name='fill'/>"
       u"    <Control name='capped' maxwidth='50'/>"
       u"    <Control name='hidden' visible='false' width='1000'/>"
       u"  </HorizontalLayout>"
       u"  <Control name='bottom' height='40' width='60'/>"
       u"  <Control name='floater' float='true' pos='5,6,25,16'/>"
       u"</VerticalLayout>");
  EXPECT_EQ(Find(u"top")->GetPos(), (UiRect{10, 10, 390, 40}));
  // 280 high inside the inset: 30 + 40 fixed, two paddings of 5 -> 200 left.
  EXPECT_EQ(Find(u"row")->GetPos(), (UiRect{10, 45, 390, 245}));
  EXPECT_EQ(Find(u"bottom")->GetPos(), (UiRect{10, 250, 70, 290}));
  EXPECT_EQ(Find(u"left")->GetPos(), (UiRect{12, 45, 112, 245}));
  // 380 - 105 = 275 shared by two; the capped one keeps 50.
  EXPECT_EQ(Find(u"fill")->GetPos(), (UiRect{115, 45, 252, 245}));
  EXPECT_EQ(Find(u"capped")->GetPos().Width(), 50);
  EXPECT_EQ(Find(u"floater")->GetPos(), (UiRect{5, 6, 25, 16}));
}

TEST_F(UiFixture, ApplicationPositionsSurviveRelayout) {
  Load(u"<VerticalLayout><Control name='a'/><Container name='b'><Control name='inner'/></Container></VerticalLayout>");
  Find(u"b")->SetPos(UiRect{300, 10, 350, 60});
  EXPECT_EQ(Find(u"inner")->GetPos(), (UiRect{300, 10, 350, 60}));
  manager.SetClientSize({800, 600});
  manager.UpdateLayout();
  EXPECT_EQ(Find(u"a")->GetPos(), (UiRect{0, 0, 800, 600}));
  EXPECT_EQ(Find(u"b")->GetPos(), (UiRect{300, 10, 350, 60}));
  EXPECT_EQ(Find(u"inner")->GetPos(), (UiRect{300, 10, 350, 60}));
}

TEST_F(UiFixture, FindByPointReturnsTheDeepestVisibleControl) {
  Load(u"<HorizontalLayout name='root'><Button name='b' width='50'/><Text name='t' visible='false' width='50'/>"
       u"<Label name='l'/></HorizontalLayout>");
  EXPECT_EQ(manager.FindControl(UiPoint{10, 10}), Find(u"b"));
  EXPECT_EQ(manager.FindControl(UiPoint{60, 10}), Find(u"l"));
  EXPECT_EQ(Find(u"b")->GetClass(), u"ButtonUI");
  EXPECT_EQ(Find(u"t")->GetClass(), u"TextUI");
  EXPECT_EQ(manager.FindControl(UiPoint{500, 10}), nullptr);
}

TEST_F(UiFixture, ButtonClicksOnlyWhenReleasedOverIt) {
  Load(u"<HorizontalLayout><Button name='ok'/><Button name='off' enabled='false'/></HorizontalLayout>");
  CControlUI* ok = Find(u"ok");
  Click(ok);
  ASSERT_EQ(sink.Types(), u"click");
  EXPECT_EQ(sink.seen[0].sender, ok);

  manager.MouseDown(Centre(ok));
  manager.MouseUp(UiPoint{399, 299});  // dragged off the button
  Click(Find(u"off"));
  EXPECT_EQ(sink.Types(), u"click");

  DoubleClick(ok);  // each press of a double click is a click
  EXPECT_EQ(sink.Types(), u"click click click");
}

TEST_F(UiFixture, OptionGroupsStayExclusive) {
  Load(u"<HorizontalLayout>"
       u"<Option name='a' group='g' selected='true'/><Option name='b' group='g'/><Option name='c' group='g'/>"
       u"<Option name='free'/></HorizontalLayout>");
  auto* a = Find<COptionUI>(u"a");
  auto* b = Find<COptionUI>(u"b");
  auto* c = Find<COptionUI>(u"c");
  EXPECT_TRUE(a->IsSelected());
  Click(b);
  EXPECT_FALSE(a->IsSelected());
  EXPECT_TRUE(b->IsSelected());
  ASSERT_EQ(sink.Types(), u"click selectchanged");
  EXPECT_EQ(sink.seen[1].sender, b);

  // Clicking the selected one again changes nothing.
  sink.seen.clear();
  Click(b);
  EXPECT_EQ(sink.Types(), u"click");

  c->Selected(true);
  EXPECT_FALSE(b->IsSelected());
  EXPECT_EQ(sink.seen.back().sender, c);

  auto* free = Find<COptionUI>(u"free");
  Click(free);
  Click(free);
  EXPECT_FALSE(free->IsSelected());
  EXPECT_TRUE(c->IsSelected());
  EXPECT_EQ(sink.Types(), u"click selectchanged click selectchanged click selectchanged");
}

TEST_F(UiFixture, TabLayoutShowsOnePage) {
  Load(u"<TabLayout name='tabs' selectedid='1'><Control name='p0'/><Control name='p1'/><Control name='p2'/></TabLayout>");
  auto* tabs = Find<CTabLayoutUI>(u"tabs");
  EXPECT_EQ(tabs->GetCurSel(), 1);
  EXPECT_TRUE(Find(u"p1")->IsVisible());
  EXPECT_FALSE(Find(u"p0")->IsVisible());
  EXPECT_TRUE(tabs->SelectItem(2));
  EXPECT_FALSE(Find(u"p1")->IsVisible());
  EXPECT_TRUE(Find(u"p2")->IsVisible());
  EXPECT_FALSE(tabs->SelectItem(3));
  EXPECT_EQ(tabs->GetCurSel(), 2);
  manager.UpdateLayout();
  EXPECT_EQ(Find(u"p2")->GetPos(), (UiRect{0, 0, 400, 300}));
}

TEST_F(UiFixture, EditTypingReturnAndPassword) {
  Load(u"<VerticalLayout><Edit name='e' height='24' maxchar='4' hinttext='ID'/><Edit name='p' password='true' height='24'/>"
       u"</VerticalLayout>");
  auto* e = Find<CEditUI>(u"e");
  EXPECT_EQ(e->GetHintText(), u"ID");
  EXPECT_FALSE(manager.Char(u'x'));  // nothing has the focus yet
  Click(e);
  EXPECT_TRUE(e->IsFocused());
  for (char16_t ch : Text(u"ab\u3131cd")) manager.Char(ch);
  EXPECT_EQ(e->GetText(), u"ab\u3131c");  // capped at four characters
  manager.KeyDown(UiKey::kBack);
  EXPECT_EQ(e->GetText(), u"ab\u3131");
  manager.Char(u'\r');  // control characters type nothing
  manager.KeyDown(UiKey::kReturn);
  EXPECT_EQ(sink.Types(), u"textchanged textchanged textchanged textchanged textchanged return");
  EXPECT_EQ(sink.seen.back().sender, e);

  auto* p = Find<CEditUI>(u"p");
  p->SetText(u"s3cret");
  EXPECT_EQ(p->DisplayText(), u"******");
  EXPECT_EQ(p->GetText(), u"s3cret");
}

class Columns : public IListCallbackUI {
 public:
  Text GetItemText(CControlUI* item, int index, int subItem) override {
    return AsciiToText(std::to_string(index) + ":" + std::to_string(subItem) + ":" + std::to_string(item->GetTag()));
  }
};

TEST_F(UiFixture, ListSelectsClicksPagesAndClears) {
  Load(u"<VerticalLayout><List name='list' height='100' itemheight='20'/><Control/></VerticalLayout>");
  auto* list = Find<CListUI>(u"list");
  for (int i = 0; i < 12; ++i) {
    auto* row = new CListLabelElementUI();
    row->SetText(AsciiToText("row " + std::to_string(i)));
    list->Add(row);
  }
  manager.UpdateLayout();
  ASSERT_EQ(list->GetItemCount(), 12);
  CControlUI* row1 = list->GetItem(1);
  EXPECT_EQ(row1->GetParent()->GetParent(), list);

  Click(row1);
  ASSERT_EQ(sink.Types(), u"itemselect itemclick");
  EXPECT_EQ(sink.seen[0].sender, list);
  EXPECT_EQ(sink.seen[0].wParam, 1u);
  EXPECT_EQ(sink.seen[1].sender, row1);
  EXPECT_EQ(list->GetCurSel(), 1);

  sink.seen.clear();
  DoubleClick(list->GetItem(2));
  EXPECT_EQ(sink.Types(), u"itemselect itemclick itemdoubleclick");
  EXPECT_EQ(sink.seen.back().sender, list->GetItem(2));

  // 12 rows of 20 in a body of 100 (less nothing: scroll bar beside it).
  list->PageDown();
  EXPECT_EQ(list->GetBody()->GetScrollPos(), 100);
  EXPECT_EQ(list->GetVerticalScrollBar()->GetScrollRange(), 140);
  list->PageDown();
  EXPECT_EQ(list->GetBody()->GetScrollPos(), 140);
  EXPECT_EQ(manager.FindControl(UiPoint{10, 5}), list->GetItem(7));
  list->PageUp();
  list->PageUp();
  EXPECT_EQ(list->GetBody()->GetScrollPos(), 0);

  // Selecting a row below the view scrolls it in.
  EXPECT_TRUE(list->SelectItem(9));
  EXPECT_EQ(list->GetItem(9)->GetPos().bottom, list->GetBody()->GetPos().bottom);
  EXPECT_FALSE(list->SelectItem(12));
  EXPECT_EQ(list->GetCurSel(), 9);

  list->GetVerticalScrollBar()->SetFixedWidth(0);
  manager.UpdateLayout();
  EXPECT_EQ(list->GetBody()->GetPos().Width(), 400);

  list->RemoveAll();
  EXPECT_EQ(list->GetItemCount(), 0);
  EXPECT_EQ(list->GetCurSel(), -1);
  EXPECT_EQ(list->GetBody()->GetScrollPos(), 0);
}

TEST_F(UiFixture, CallbackRowsAskTheCallbackForEachColumn) {
  Load(u"<VerticalLayout><List name='list' columns='100,220'/></VerticalLayout>");
  auto* list = Find<CListUI>(u"list");
  Columns columns;
  list->SetTextCallback(&columns);
  auto* row = new CListTextElementUI();
  row->SetTag(77);
  list->Add(new CListTextElementUI());
  list->Add(row);
  EXPECT_EQ(row->GetColumnText(1), u"1:1:77");
  EXPECT_EQ(row->GetText(), u"1:0:77");
  list->SetTextCallback(nullptr);
  row->SetColumnText(1, u"plain");
  EXPECT_EQ(row->GetColumnText(1), u"plain");
  EXPECT_EQ(row->GetColumnText(5), u"");
}

TEST_F(UiFixture, SinkMayClearTheListWhileItsRowIsClicked) {
  Load(u"<VerticalLayout><List name='list'/></VerticalLayout>");
  auto* list = Find<CListUI>(u"list");
  list->Add(new CListLabelElementUI());
  manager.UpdateLayout();
  sink.onNotify = [list](TNotifyUI& msg) {
    if (msg.sType == u"itemselect") list->RemoveAll();
  };
  Click(list->GetItem(0));
  EXPECT_EQ(sink.Types(), u"itemselect");
  EXPECT_EQ(list->GetItemCount(), 0);
}

TEST_F(UiFixture, ComboSelectsAndReportsFromItself) {
  Load(u"<VerticalLayout><Combo name='combo' dropboxsize='0,200'>"
       u"<ListLabelElement name='-1' text='All'/><ListLabelElement text='News'/></Combo></VerticalLayout>");
  auto* combo = Find<CComboUI>(u"combo");
  EXPECT_EQ(combo->GetDropBoxSize(), (UiSize{0, 200}));
  ASSERT_EQ(combo->GetItemCount(), 2);
  EXPECT_EQ(manager.FindControl(u"-1"), combo->GetItemAt(0));
  EXPECT_TRUE(combo->SelectItem(1));
  EXPECT_EQ(combo->GetText(), u"News");
  ASSERT_EQ(sink.Types(), u"itemselect");
  EXPECT_EQ(sink.seen[0].sender, combo);
  // A click on a drop-down row selects it (the window system routes it there).
  UiEvent press;
  press.type = UiEvent::kButtonDown;
  combo->GetItemAt(0)->DoEvent(press);
  EXPECT_EQ(combo->GetCurSel(), 0);
  combo->RemoveAll();
  EXPECT_EQ(combo->GetText(), u"");
}

}  // namespace
}  // namespace kavrel
