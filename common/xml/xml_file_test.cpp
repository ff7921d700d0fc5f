#include "common/xml/xml_file.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/platform/code_page.h"
#include "common/xml/xml_charsets.h"
#include "common/xml/xml_document.h"

namespace kavrel {
namespace {

std::string U8(const Text& t) { return TextToUtf8(t); }

Text Fixture(const char* name) {
  return AsciiToText(std::string(KAVREL_SOURCE_DIR "/common/xml/testdata/") + name);
}

const char16_t kKorean[] = u"\uD55C\uAD6D\uC5B4 \uD14D\uC2A4\uD2B8";

struct FileCase {
  const char* file;
  std::int32_t flags;  // byte-order-mark flags after loading
  const char* log;
};

// Every encoding path of a file read, with the records it leaves; the
// document inside is the same in each.
TEST(XmlFile, LoadsEveryEncodingToTheSameDocument) {
  const FileCase cases[] = {
      {"utf8_bom.xml", XmlDocument::kFlagUtf8BomFile,
       "<bom/><read encoding=\"UTF-8\" length=\"48\"/><converted_to encoding=\"UTF-16\" length=\"36\"/>"},
      {"utf8_plain.xml", 0,
       "<read encoding=\"UTF-8\" length=\"48\"/><converted_to encoding=\"UTF-16\" length=\"36\"/>"},
      {"utf16le.xml", XmlDocument::kFlagUtf16LeFile, "<bom/><read encoding=\"UTF-16LE\" length=\"36\"/>"},
      {"utf16be.xml", XmlDocument::kFlagUtf16BeFile,
       "<bom/><read encoding=\"UTF-16BE\" length=\"36\"/><endian_swap/>"},
      {"euc_kr.xml", 0,
       "<read encoding=\"euc-kr\" length=\"82\"/><converted_to encoding=\"UTF-16\" length=\"76\"/>"},
  };
  for (const FileCase& c : cases) {
    XmlDocument doc;
    // A flag left from an earlier file must not survive the next read.
    doc.SetDocumentFlags(XmlDocument::kFlagUtf16BeFile);
    ASSERT_TRUE(doc.LoadFile(Fixture(c.file))) << c.file;
    EXPECT_EQ(doc.DocumentFlags(), c.flags) << c.file;
    EXPECT_EQ(U8(doc.ResultLog()), c.log) << c.file;
    EXPECT_TRUE(doc.CheckWellFormed()) << c.file;
    ASSERT_TRUE(doc.FindChildElement(u"k")) << c.file;
    EXPECT_EQ(U8(doc.ChildElementText()), U8(kKorean)) << c.file;
    ASSERT_TRUE(doc.FindChildElement(u"e")) << c.file;
    EXPECT_EQ(U8(doc.ChildAttributeValue(u"a")), "&x") << c.file;
  }
}

TEST(XmlFile, DetectsOrFallsBackForUnmarkedFiles) {
  // Linux plays a Western system; Windows keeps its own ANSI code page.
  SetAnsiCodePage(1252);
  const Text ansi = BytesToText("x \xC4\xE3\xBA\xC3", kCodePageAnsi);
  if (AnsiCodePage() == 1252) {
    ASSERT_EQ(U8(ansi), "x \u00C4\u00E3\u00BA\u00C3");
  }
  struct Case {
    const char* file;
    const char16_t* text;
    const char* log;
  } const cases[] = {
      {"utf8_detected.txt", u"x \u4E2D y",
       "<read encoding=\"UTF-8\" length=\"7\"/><utf8_detection/><converted_to encoding=\"UTF-16\" length=\"5\"/>"},
      {"ansi.txt", ansi.c_str(),
       nullptr},
      {"zero_bytes.xml", u"<r>abc</r>",
       "<read encoding=\"UTF-8\" length=\"13\"/><nulls_removed count=\"3\"/><converted_to encoding=\"UTF-16\" length=\"10\"/>"},
      {"empty.xml", u"", "<read encoding=\"\" length=\"0\"/>"},
  };
  {
    std::int32_t flags = 0;
    Text text, log;
    ASSERT_TRUE(ReadDocumentFile(Fixture("ansi.txt"), flags, text, log));
    EXPECT_EQ(U8(log), "<read encoding=\"\" length=\"6\"/><utf8_detection/><converted_to encoding=\"UTF-16\" length=\"" +
                           std::to_string(ansi.size()) + "\"/>");
  }
  for (const auto& c : cases) {
    std::int32_t flags = 0;
    Text text, log;
    ASSERT_TRUE(ReadDocumentFile(Fixture(c.file), flags, text, log)) << c.file;
    EXPECT_EQ(U8(text), U8(c.text)) << c.file;
    if (c.log) {
      EXPECT_EQ(U8(log), c.log) << c.file;
    }
    EXPECT_EQ(flags, 0) << c.file;
  }
}

TEST(XmlFile, MissingFileFailsAndEveryFindFails) {
  XmlDocument doc(u"<old/>");
  EXPECT_FALSE(doc.LoadFile(Fixture("no_such_file.xml")));
  EXPECT_EQ(doc.DocumentText(), u"");
  EXPECT_FALSE(doc.FindElement());
  EXPECT_FALSE(doc.FindChildElement());
  const std::string log = U8(doc.ResultLog());
  EXPECT_EQ(log.rfind("<file_error msg=\"", 0), 0u) << log;
  EXPECT_NE(log.find(" n=\""), std::string::npos) << log;
  EXPECT_EQ(log.find(" n=\"0\""), std::string::npos) << "the error number is known: " << log;
  EXPECT_EQ(log.find("/><"), std::string::npos) << "an empty text adds no parsing record: " << log;
}

TEST(XmlFile, HtmlMetaCharset) {
  std::int32_t flags = 0;
  Text text, log;
  ASSERT_TRUE(ReadDocumentFile(Fixture("html_meta.html"), flags, text, log));
  EXPECT_EQ(U8(log.substr(0, 37)), "<read encoding=\"utf-8\" length=\"141\"/>");
  EXPECT_NE(text.find(u"<body>\uD55C</body>"), Text::npos);
}

TEST(XmlFile, FindDeclaredCharset) {
  struct Case {
    const char16_t* text;
    const char16_t* charset;
  } const cases[] = {
      {u"<?xml version=\"1.0\" encoding=\"euc-kr\"?><r/>", u"euc-kr"},
      {u"<?XML encoding='Shift_JIS' ?>", u"Shift_JIS"},
      {u"<?xml version=\"1.0\"?><r/>", u""},
      {u" <?xml encoding=\"x\"?>", u""},  // the declaration must start the text
      {u"<?xml-stylesheet encoding=\"x\"?>", u""},
      {u"<!DOCTYPE html><HTML><head><META HTTP-EQUIV=\"content-type\" "
       u"content=\"text/html; charset = gb2312\"></head></html>",
       u"gb2312"},
      {u"<html><head><meta charset=\"utf-8\"><meta http-equiv=\"Refresh\" content=\"charset=x\">"
       u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=big5\">",
       u"big5"},
      {u"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html\">"
       u"<meta http-equiv=\"Content-Type\" content=\"charset=big5\">",
       u""},  // the search stops after the first Content-Type element
      {u"<html><head></head><meta http-equiv=\"Content-Type\" content=\"charset=big5\">", u""},
      {u"<root><meta http-equiv=\"Content-Type\" content=\"charset=big5\"></root>", u""},
      {u"<html><1><meta http-equiv=\"Content-Type\" content=\"charset=big5\">", u""},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(U8(FindDeclaredCharset(c.text)), U8(c.charset)) << U8(c.text);
}

TEST(XmlFile, LooksLikeUtf8) {
  struct Case {
    const char* bytes;
    std::size_t length;
    bool utf8;
    bool cut;
  } const cases[] = {
      {"plain", 5, true, false},
      {"\xE4\xB8\xAD", 3, true, false},
      {"\xC4\xE3" "A", 3, true, false},  // C4 takes E3 as its one further byte
      {"\xC4\xE3\xBA\xC3", 4, false, false},  // GBK: BA cannot begin a sequence
      {"\xC4" "A", 2, false, false},
      {"\xE4\xB8", 2, false, true},
      {"\xE4\xB8\0\xAD", 4, false, false},  // a zero byte ends the walk
      {"\x80\x80", 2, true, false},         // 0x80-0x9F need one more byte
      {"\xA0\x80\x80", 3, true, false},
      {"\xB8\x80\x80\x80\x80", 5, false, false},
      {"\xF8\x80", 2, false, false},
      {"\xF0\x9F\x98\x80", 4, true, false},
      {"\xC3\xFF", 2, true, false},  // further bytes need only be 0x80 or above
  };
  for (const auto& c : cases) {
    bool cut = !c.cut;
    EXPECT_EQ(LooksLikeUtf8(c.bytes, c.length, &cut), c.utf8) << c.bytes;
    EXPECT_EQ(cut, c.cut) << c.bytes;
  }
}

TEST(XmlFile, CodePageForCharset) {
  struct Case {
    const char16_t* name;
    int codePage;
  } const cases[] = {
      {u"utf-8", 65001}, {u"UTF8", 65001}, {u"cp65001", 65001}, {u"unicode-1-1-utf-8", 65001},
      {u"ks_c_5601-1987", 949}, {u"korean", 949}, {u"uhc", 949}, {u"CP949", 949},
      {u"euc-kr", 51949}, {u"utf-16", 1200}, {u"unicode", 1200}, {u"ucs-2", 1200},
      {u"us-ascii", 20127}, {u"iso-8859-1", 28591}, {u"Latin1", 28591}, {u"shift_jis", 932},
      {u"gb2312", 936}, {u"gbk", 936}, {u"big5", 950}, {u"windows-1252", 1252}, {u"cp1251", 1251},
      {u"", 0}, {u"UTF-32", kCodePageUtf32}, {u"UTF-32BE", kCodePageUtf32},
      {u"no-such-charset", -1}, {u"utf-8 ", -1}, {u"\u00FCtf-8", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(CodePageForCharset(c.name), c.codePage) << U8(c.name);
  EXPECT_EQ(CodePageForCharset(Text(99, u'a')), -1);
  EXPECT_EQ(CodePageForCharset(Text(100, u'a')), -1);
}

// The table's layout: every entry sits in its bucket, names are unique and
// lower case, and it holds 365 names over 110 code pages.
TEST(XmlFile, CharsetTableIsConsistent) {
  std::set<std::string> names;
  std::set<int> codePages;
  for (int b = 0; b < xml::kCharsetBuckets; ++b) {
    for (const char* p = xml::kCharsetTable[b]; *p;) {
      const int length = (p[0] - '0') * 10 + (p[1] - '0');
      const int codePage = std::stoi(std::string(p + 2, 5));
      const std::string name(p + 7, static_cast<std::size_t>(length));
      p += 7 + length;
      unsigned sum = 0;
      for (char c : name) {
        sum += static_cast<unsigned char>(c);
        EXPECT_FALSE(c >= 'A' && c <= 'Z') << name;
      }
      EXPECT_EQ(static_cast<int>(sum % xml::kCharsetBuckets), b) << name;
      EXPECT_TRUE(names.insert(name).second) << name;
      codePages.insert(codePage);
      EXPECT_EQ(CodePageForCharset(AsciiToText(name)), codePage) << name;
    }
  }
  EXPECT_EQ(names.size(), 365u);
  EXPECT_EQ(codePages.size(), 110u);
}

}  // namespace
}  // namespace kavrel
