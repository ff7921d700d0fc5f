#include "common/text/text_table.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/platform/program_folder.h"
#include "common/text/format.h"

namespace kavrel {
namespace {

std::string U8(const Text& t) { return TextToUtf8(t); }

Text Folder(const std::string& relative) {
  return AsciiToText(std::string(KAVREL_SOURCE_DIR "/") + relative + "/");
}

class TextTableTest : public ::testing::Test {
 protected:
  void TearDown() override { SetProgramFolder(Text()); }
  Text Lookup(const char16_t* key) { return TextTable::Instance().Lookup(key); }
};

TEST_F(TextTableTest, LooksUpEntriesOfTheFirstLanguageElement) {
  SetProgramFolder(Folder("common/text/testdata/basic"));
  struct Case {
    const char16_t* key;
    const char16_t* text;
  } const cases[] = {
      {u"A", u"x"},              // the first of two entries counts
      {u"a", u""},               // keys compare exactly
      {u"B", u"a & b"},
      {u"C", u"<b>"},
      {u"K", u"\uD55C\uAD6D\uC5B4"},  // UTF-8 with a mark
      {u"P", u""},               // an entry with child elements
      {u"D", u""},               // only the first LANGUAGE element counts
      {u"MISSING", u""},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(Lookup(c.key)), U8(c.text)) << U8(c.key);
}

TEST_F(TextTableTest, BrokenOrMissingFilesGiveTheEmptyText) {
  SetProgramFolder(Folder("common/text/testdata/wrong_root"));
  EXPECT_EQ(Lookup(u"A"), u"");
  SetProgramFolder(Folder("common/text/testdata/no_such_installation"));
  EXPECT_EQ(Lookup(u"A"), u"");
  // A damaged file is repaired: entries around the damage are still found.
  SetProgramFolder(Folder("common/text/testdata/broken"));
  EXPECT_EQ(U8(Lookup(u"A")), "before");
  EXPECT_EQ(U8(Lookup(u"C")), "after");
  EXPECT_EQ(U8(Lookup(u"D")), "");
}

// Each lookup reads the file afresh, so concurrent lookups share nothing.
TEST_F(TextTableTest, ConcurrentLookupsAgree) {
  SetProgramFolder(Folder("common/text/testdata/basic"));
  std::string results[4];
  std::vector<std::thread> threads;
  for (auto& r : results)
    threads.emplace_back([&r] {
      for (int i = 0; i < 20; ++i) r += TextToUtf8(TextTable::Instance().Lookup(u"B"));
    });
  for (auto& t : threads) t.join();
  std::string expected;
  for (int i = 0; i < 20; ++i) expected += "a & b";
  for (const auto& r : results) EXPECT_EQ(r, expected);
}

// The kinds of the conversions in a format text: s for a text, d for an
// integer, c for a character; "%%" is not a conversion.
std::string Conversions(const Text& format) {
  std::string kinds;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') continue;
    ++i;
    while (i < format.size() && Text(u"-+ #0123456789.*hlI").find(format[i]) != Text::npos) ++i;
    if (i >= format.size()) return kinds + "?";
    const char16_t c = format[i];
    if (c == u'%') continue;
    if (c == u's') kinds += 's';
    else if (Text(u"diuxXo").find(c) != Text::npos) kinds += 'd';
    else if (c == u'c') kinds += 'c';
    else kinds += '?';
  }
  return kinds;
}

// The installed language file has a text for every key the programs use,
// with exactly the conversions their callers' arguments need.
TEST_F(TextTableTest, InstalledLanguageFileCoversEveryKey) {
  SetProgramFolder(Folder("install"));
  struct Key {
    const char16_t* key;
    const char* arguments;
  } const keys[] = {
      {u"APP_SINGLE_INSTANCE", ""}, {u"APP_REGISTRY_KEY", ""}, {u"APP_MUTEX_FAILED", ""},
      {u"WND_CAPTION_TEXT", ""}, {u"ZORV_WND_CAPTION_TEXT", ""}, {u"WND_LOAD_TIMER", "d"},
      {u"TRAY_TIP_TITLE", ""}, {u"TV_CHANNEL_INVALID", "s"}, {u"CHANNEL_LIMIT_DATE", "s"},
      {u"CHANNEL_WILL_LIMIT", ""}, {u"WND_BUT_NOHOMEURL", ""}, {u"WND_BUT_FEEDSUBJECT", ""},
      {u"WND_BUT_NOFEEDURL", ""}, {u"WND_BUT_NOUPGRADE", ""}, {u"UPDATE_DLG_CAPTION", ""},
      {u"LOGIN_DLG_WELCOME", ""}, {u"LOGIN_DLG_NOUSER", ""}, {u"LOGIN_DLG_STATEFAIL", "s"},
      {u"LOGIN_DLG_XMLFAIL", ""}, {u"LOGIN_NETWORK_ERROR", ""}, {u"LOGIN_OK", ""},
      {u"LOGIN_SERVICE_ERROR", ""}, {u"LOGIN_PSW_ERROR", ""}, {u"LOGIN_REPEAT", ""},
      {u"LOGIN_AUTH_FAIL", ""}, {u"LOGIN_USER_BLACKLIST", ""}, {u"LOGIN_ARGUMENT_ERROR", ""},
      {u"LOGIN_INVALIDPARAM", ""}, {u"LOGIN_NEED_AUTH", ""}, {u"LOGIN_UUID_NEEDUPDATE", ""},
      {u"LOGIN_LOGOUT_OK", ""}, {u"LOGIN_NEED", ""}, {u"LOGIN_FILEFORMAT_ERROR", ""},
      {u"AUTH_DLG_REGTIP", ""}, {u"LOGIN_DLG_NOID", ""}, {u"LOGIN_DLG_NOPWD", ""},
      {u"LOGIN_DLG_APPIDEDIT", ""}, {u"LOGIN_DLG_APPPWDEDIT", ""}, {u"LOGIN_DLG_STOREIDEDIT", ""},
      {u"LOGIN_DLG_STOREPWDEDIT", ""}, {u"PAYFOR_TYPE_ALL", ""}, {u"PAYFOR_TYPE_FREE", ""},
      {u"PAYFOR_TYPE_VIP", ""}, {u"PAYFOR_ENDLESS", ""}, {u"PAYFOR_TOTALNUM", "d"},
      {u"UPDATE_DLG_BTN_UPDATE", ""}, {u"UPDATE_DLG_BTN_CANCEL", ""}, {u"UPDATE_SELECT_SERVER", ""},
      {u"UPDATE_DLG_LOCALVER", "s"}, {u"UPDATE_DLG_SERVERSION", "s"}, {u"UPDATE_DLG_GETVER", ""},
      {u"UPDATE_LOG_LINKING", ""}, {u"UPDATE_LOG_CONNECTING", "s"}, {u"UPDATE_LOG_SERVER_COUNT", "d"},
      {u"UPDATE_LOG_SERVER_FAILED", "d"}, {u"UPDATE_FILE_ADD", "s"}, {u"UPDATE_PROGRESS_TEXT", "sd"},
      {u"UPDATE_SPEED_TEXT", "d"}, {u"UPDATE_SUCCEEDED_TEXT", "dd"}, {u"UPDATE_ENDED_TEXT", ""},
      {u"UPDATE_FAILED", ""}, {u"UPDATE_NEED_SPACE", ""}, {u"UPDATE_DLG_NOTUPDATE", ""},
      {u"UPDATE_GETVERSION_FAILED", ""}, {u"UPDATE_GETSERVERLIST_FAILED", ""}, {u"UPDATE_INFO", ""},
      {u"UPDATE_OK", ""},
  };
  for (const auto& k : keys) {
    const Text text = Lookup(k.key);
    EXPECT_FALSE(text.empty()) << U8(k.key);
    EXPECT_EQ(Conversions(text), k.arguments) << U8(k.key) << ": " << U8(text);
  }
  // And used as formats, they take their arguments in order.
  EXPECT_EQ(U8(Format(Lookup(u"UPDATE_PROGRESS_TEXT"), Text(u"kavrel.exe"), 42)),
            "Downloading kavrel.exe: 42%");
}

}  // namespace
}  // namespace kavrel
