#include "ui/builder.h"

#include <gtest/gtest.h>

#include "ui/manager.h"

namespace kavrel {
namespace {

Text TestData(const char* name) { return AsciiToText(std::string(KAVREL_SOURCE_DIR) + "/ui/testdata/" + name); }

TEST(DialogBuilder, BuildsEveryKindWithItsClassAndTheWindowAttributes) {
  CControlManagerUI manager;
  CDialogBuilder builder;
  CControlUI* root = builder.Create(TestData("small.xml"), &manager);
  ASSERT_NE(root, nullptr) << TextToUtf8(builder.LastError());
  ASSERT_TRUE(manager.AttachDialog(root));
  EXPECT_TRUE(builder.Warnings().empty());

  struct Case { const char16_t* name; const char16_t* cls; };
  const Case cases[] = {
      {u"root", u"VerticalLayoutUI"}, {u"caption", u"HorizontalLayoutUI"}, {u"title", u"TextUI"},
      {u"closebtn", u"ButtonUI"},     {u"video", u"ContainerUI"},          {u"types", u"ComboUI"},
      {u"-1", u"ListLabelElementUI"}, {u"channels", u"ListUI"},            {u"user", u"EditUI"},
      {u"o1", u"OptionUI"},           {u"player", u"ActiveXUI"},           {u"iewnd", u"WebBrowserUI"},
  };
  for (const Case& c : cases) {
    CControlUI* control = manager.FindControl(c.name);
    ASSERT_NE(control, nullptr) << TextToUtf8(c.name);
    EXPECT_EQ(control->GetClass(), c.cls) << TextToUtf8(c.name);
  }
  EXPECT_EQ(manager.FindControl(u"title")->GetText(), u"\uCE74\uBC14\uB810 TV");
  EXPECT_EQ(manager.FindControl(u"closebtn")->GetToolTip(), u"Close");
  EXPECT_EQ(manager.FindControl(u"closebtn")->GetFixedWidth(), 30);
  EXPECT_EQ(dynamic_cast<CListUI*>(manager.FindControl(u"channels"))->GetListInfo().itemHeight, 29);
  EXPECT_TRUE(dynamic_cast<COptionUI*>(manager.FindControl(u"o1"))->IsSelected());

  EXPECT_EQ(manager.GetInitSize(), (UiSize{500, 400}));
  EXPECT_EQ(manager.GetCaptionRect(), (UiRect{0, 0, 0, 30}));
  EXPECT_EQ(manager.GetSizeBox(), (UiRect{4, 5, 6, 7}));
  EXPECT_EQ(manager.GetRoundCorner(), (UiSize{3, 3}));
  EXPECT_EQ(manager.GetMinInfo(), (UiSize{320, 240}));
  ASSERT_EQ(manager.GetFontCount(), 2);
  EXPECT_TRUE(manager.GetFont(0).bold);
  EXPECT_EQ(manager.GetFont(0).size, 13);
  EXPECT_EQ(manager.GetFont(-1).face, u"Tahoma");  // the default font
}

TEST(DialogBuilder, BrokenStructureFailsTheBuild) {
  struct Case { const char* what; Text skin; };
  Text deep = u"<Window>";
  for (int i = 0; i < CDialogBuilder::kMaxDepth + 5; ++i) deep += u"<Container>";
  for (int i = 0; i < CDialogBuilder::kMaxDepth + 5; ++i) deep += u"</Container>";
  deep += u"</Window>";
  const Case cases[] = {
      {"empty", u""},
      {"not XML", u"hello"},
      {"unclosed", u"<Window><VerticalLayout></Window>"},
      {"two top elements", u"<Window><Control/></Window><Window/>"},
      {"no Window", u"<Skin><Control/></Skin>"},
      {"no root control", u"<Window><Font name='x'/></Window>"},
      {"only unknown controls", u"<Window><Gadget/></Window>"},
      {"too deep", deep},
  };
  for (const Case& c : cases) {
    CControlManagerUI manager;
    CDialogBuilder builder;
    EXPECT_EQ(builder.CreateFromText(c.skin, &manager), nullptr) << c.what;
    EXPECT_FALSE(builder.LastError().empty()) << c.what;
  }
  CDialogBuilder builder;
  EXPECT_EQ(builder.Create(TestData("no-such-skin.xml"), nullptr), nullptr);
  EXPECT_NE(builder.LastError().find(u"no-such-skin.xml"), Text::npos);
}

TEST(DialogBuilder, SmallFaultsSkipThePieceAndAreListed) {
  CControlManagerUI manager;
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> root(builder.CreateFromText(
      u"<Window size='wide,1' caption='0,0,0,25'>"
      u"<VerticalLayout name='root'>"
      u"  <Gadget name='g'><Button name='inside'/></Gadget>"
      u"  <Button name='b' width='12px' height='20' colour='red' bkimage=\"file='x.png\" visible='nope'>"
      u"    <Label name='child'/>"
      u"  </Button>"
      u"</VerticalLayout></Window>",
      &manager));
  ASSERT_NE(root, nullptr) << TextToUtf8(builder.LastError());
  EXPECT_EQ(builder.Warnings().size(), 7u);
  auto* b = root->Find([](CControlUI* c) { return c->GetName() == u"b"; });
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetFixedWidth(), 0);
  EXPECT_EQ(b->GetFixedHeight(), 20);
  EXPECT_TRUE(b->IsVisible());
  EXPECT_TRUE(b->GetBkImage().empty());
  EXPECT_EQ(root->Find([](CControlUI* c) { return c->GetName() == u"inside" || c->GetName() == u"child"; }), nullptr);
  EXPECT_EQ(manager.GetInitSize(), (UiSize{0, 0}));
  EXPECT_EQ(manager.GetCaptionRect(), (UiRect{0, 0, 0, 25}));
}

TEST(DialogBuilder, CustomTagsComeFromTheCaller) {
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> root(builder.CreateFromText(
      u"<Window><Splash name='s'/></Window>", nullptr,
      [](TextView tag) -> CControlUI* { return tag == u"Splash" ? new CLabelUI() : nullptr; }));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetName(), u"s");
}

TEST(DialogBuilder, AttributeNamesOfAStartTag) {
  auto names = StartTagAttributeNames(u"<Button name=\"a b\" text='x=\"1\"' float visible = 'true' name='again' />");
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names[0], u"name");
  EXPECT_EQ(names[1], u"text");
  EXPECT_EQ(names[2], u"float");
  EXPECT_EQ(names[3], u"visible");
  EXPECT_TRUE(StartTagAttributeNames(u"<a").empty());
  EXPECT_EQ(StartTagAttributeNames(u"<a b='unterminated>").size(), 1u);
}

}  // namespace
}  // namespace kavrel
