// One table of profile-file cases. The same table runs against our Linux
// implementation and, in the Windows build under Wine, against the system's
// own profile functions, so the two cannot drift apart.
#include "common/platform/profile_file.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/platform/code_page.h"
#include "common/platform/files.h"

namespace kavrel {
namespace {

enum class Op { kNone, kSet, kRemove };

struct Read {
  const char* section;
  const char* key;
  const char* fallback;
  std::string expected;
};

struct ProfileCase {
  const char* name;
  const char* initial;  // file contents (ASCII); nullptr: no file
  Op op;
  const char* section;
  const char* key;
  const char* value;
  bool opResult;
  std::vector<Read> reads;
  std::vector<std::string> keptLines;  // must still be in the file, in this order
};

const std::string kLong(1500, 'x');
const std::string kCut(1023, 'x');
const std::string kLongFile = "[KAVREL]\r\nlong=" + kLong + "\r\n";

const std::vector<ProfileCase>& Cases() {
  static const std::vector<ProfileCase> cases = {
      {"MissingFile", nullptr, Op::kNone, "", "", "", true, {{"KAVREL", "a", "dflt", "dflt"}}, {}},
      {"MissingSectionAndKey", "[OTHER]\r\na=1\r\n[KAVREL]\r\nb=2\r\n", Op::kNone, "", "", "", true,
       {{"KAVREL", "a", "dflt", "dflt"}, {"NOPE", "b", "", ""}, {"KAVREL", "b", "", "2"}}, {}},
      {"EmptyValueIsNotMissing", "[KAVREL]\r\na=\r\n", Op::kNone, "", "", "", true,
       {{"KAVREL", "a", "dflt", ""}}, {}},
      {"NamesIgnoreCase", "[kavrel]\r\nServerUrl=x<EOF>\r\n", Op::kNone, "", "", "", true,
       {{"KAVREL", "serverurl", "", "x<EOF>"}}, {}},
      {"BlanksAndQuotesStripped", "[KAVREL]\r\n  a  =  one two  \r\nq=\"in quotes\"\r\n", Op::kNone, "", "", "", true,
       {{"KAVREL", "a", "", "one two"}, {"KAVREL", "q", "", "in quotes"}}, {}},
      {"FallbackLosesTrailingBlanks", "[KAVREL]\r\n", Op::kNone, "", "", "", true,
       {{"KAVREL", "a", "dflt  ", "dflt"}}, {}},
      {"CommentIsNoKey", "[KAVREL]\r\n;a=1\r\n", Op::kNone, "", "", "", true, {{"KAVREL", "a", "d", "d"}}, {}},
      {"FirstOfTwoKeysWins", "[KAVREL]\r\na=1\r\nA=2\r\n", Op::kNone, "", "", "", true, {{"KAVREL", "a", "", "1"}}, {}},
      {"KeyWithoutEquals", "[KAVREL]\r\na\r\n", Op::kNone, "", "", "", true, {{"KAVREL", "a", "d", "d"}}, {}},
      {"LineFeedOnly", "[A]\nk=1\n[KAVREL]\nk=2\n", Op::kNone, "", "", "", true,
       {{"KAVREL", "k", "", "2"}, {"A", "k", "", "1"}}, {}},
      {"LongValueCut", kLongFile.c_str(), Op::kNone, "", "", "", true, {{"KAVREL", "long", "", kCut}}, {}},
      {"SetCreatesFile", nullptr, Op::kSet, "KAVREL", "a", "v", true, {{"KAVREL", "a", "", "v"}}, {}},
      {"SetReplacesKeepingOtherLines",
       "; head\r\n\r\n[KAVREL]\r\na=old\r\n; note\r\n\r\n[OTHER]\r\nb=2\r\n", Op::kSet, "KAVREL", "a", "new", true,
       {{"KAVREL", "a", "", "new"}, {"OTHER", "b", "", "2"}},
       {"; head", "", "[KAVREL]", "a=new", "; note", "", "[OTHER]", "b=2"}},
      {"SetAddsKeyToSection", "[KAVREL]\r\na=1\r\n\r\n[OTHER]\r\nb=2\r\n", Op::kSet, "KAVREL", "c", "3", true,
       {{"KAVREL", "c", "", "3"}, {"KAVREL", "a", "", "1"}, {"OTHER", "b", "", "2"}},
       {"[KAVREL]", "a=1", "c=3", "[OTHER]", "b=2"}},
      {"SetAddsSection", "; only a comment\r\n[OTHER]\r\nb=2\r\n", Op::kSet, "KAVREL", "a", "1", true,
       {{"KAVREL", "a", "", "1"}, {"OTHER", "b", "", "2"}}, {"; only a comment", "[OTHER]", "b=2", "[KAVREL]", "a=1"}},
      {"SetEmptyValue", "[KAVREL]\r\na=1\r\n", Op::kSet, "KAVREL", "a", "", true, {{"KAVREL", "a", "dflt", ""}}, {}},
      {"RemoveKeepsOtherLines", "[KAVREL]\r\na=1\r\n; keep\r\nb=2\r\n", Op::kRemove, "KAVREL", "a", "", true,
       {{"KAVREL", "a", "gone", "gone"}, {"KAVREL", "b", "", "2"}}, {"[KAVREL]", "; keep", "b=2"}},
      {"RemoveMissingKey", "[KAVREL]\r\nb=2\r\n", Op::kRemove, "KAVREL", "a", "", true, {{"KAVREL", "b", "", "2"}}, {}},
  };
  return cases;
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Windows keeps blank lines when it writes a key; our implementation does
// too. Wine, on which the Windows build is tested, rewrites the file without
// them, so there only the other lines are checked.
#ifdef _WIN32
constexpr bool kBlankLinesChecked = false;
#else
constexpr bool kBlankLinesChecked = true;
#endif

// True when `wanted` appears in `lines` in order (other lines may sit between).
bool InOrder(const std::vector<std::string>& lines, std::vector<std::string> wanted) {
  if (!kBlankLinesChecked) {
    std::vector<std::string> kept;
    for (const std::string& w : wanted)
      if (!w.empty()) kept.push_back(w);
    wanted = kept;
  }
  size_t at = 0;
  for (const std::string& line : lines)
    if (at < wanted.size() && line == wanted[at]) ++at;
  return at == wanted.size();
}

void PrintTo(const ProfileCase& c, std::ostream* os) { *os << c.name; }

Text TempPath(const std::string& name) { return Utf8ToText(std::string(::testing::TempDir()) + name); }

class ProfileFileTable : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileFileTable, BehavesAsTheSystemDoes) {
  const ProfileCase& c = GetParam();
  const Text path = TempPath(std::string("kavrel_profile_") + c.name + ".ini");
  ASSERT_TRUE(DeleteFileAt(path));
  if (c.initial) {
    ASSERT_TRUE(WriteFileBytes(path, c.initial));
  }

  const Text section = AsciiToText(c.section), key = AsciiToText(c.key);
  if (c.op == Op::kSet) {
    EXPECT_EQ(SetProfileText(path, section, key, AsciiToText(c.value)), c.opResult);
  } else if (c.op == Op::kRemove) {
    EXPECT_EQ(RemoveProfileKey(path, section, key), c.opResult);
  }

  for (const Read& r : c.reads) {
    EXPECT_EQ(GetProfileText(path, AsciiToText(r.section), AsciiToText(r.key), AsciiToText(r.fallback)),
              AsciiToText(r.expected))
        << "[" << r.section << "] " << r.key;
  }
  if (!c.keptLines.empty()) {
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_TRUE(InOrder(Lines(bytes), c.keptLines)) << bytes;
  }
  DeleteFileAt(path);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileFileTable, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

// A file that starts with the UTF-16LE byte-order mark holds any character,
// and a write keeps it in that form.
TEST(ProfileFileTest, UnicodeFileKeepsItsEncoding) {
  const Text path = TempPath("kavrel_profile_unicode.ini");
  const Text value = u"채널 \u00e9";
  ASSERT_TRUE(WriteFileBytes(path, "\xFF\xFE" + TextToBytes(u"[KAVREL]\r\nname=" + value + u"\r\n", kCodePageUtf16Le)));
  EXPECT_EQ(GetProfileText(path, u"KAVREL", u"name", u""), value);
  ASSERT_TRUE(SetProfileText(path, u"KAVREL", u"other", value + u"2"));
  EXPECT_EQ(GetProfileText(path, u"KAVREL", u"other", u""), value + u"2");
  EXPECT_EQ(GetProfileText(path, u"KAVREL", u"name", u""), value);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(path, bytes));
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  DeleteFileAt(path);
}

TEST(ProfileFileTest, WriteIntoMissingFolderFails) {
  EXPECT_FALSE(SetProfileText(TempPath("kavrel_no_such_folder/config.ini"), u"KAVREL", u"a", u"1"));
}

}  // namespace
}  // namespace kavrel
