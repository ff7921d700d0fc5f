#include "common/xml/xml_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/xml/xml_log.h"

namespace kavrel {
namespace {

std::string U8(const Text& t) { return TextToUtf8(t); }

// Finds each name of the path at the main level and enters it, except the
// last, which stays the main position.
bool Walk(XmlDocument& doc, const std::vector<const char16_t*>& path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (!doc.FindElement(path[i])) return false;
    if (i + 1 < path.size() && !doc.EnterElement()) return false;
  }
  return true;
}

struct TextCase {
  const char16_t* document;
  std::vector<const char16_t*> path;
  const char16_t* expected;
};

// Text content: references, CDATA, comments, child elements, open elements.
TEST(XmlDocumentText, ReadsDecodedContent) {
  const TextCase cases[] = {
      {u"<x>a &amp; b &#x41;&#66; &foo; &AMP;</x>", {u"x"}, u"a & b AB &foo; &"},
      {u"<x>1<!-- c -->2<![CDATA[<3>]]></x>", {u"x"}, u"12<3>"},
      {u"<x><y/>z</x>", {u"x"}, u""},
      {u"<x/>", {u"x"}, u""},
      {u"<x>&lt;&gt;&quot;&apos;&nbsp;&euro;&thetasym;</x>", {u"x"}, u"<>\"'\u00A0\u20AC\u03D1"},
      {u"<x>&Oslash;&oslash;&Dagger;&dagger;</x>", {u"x"}, u"\u00D8\u00F8\u2021\u2020"},
      {u"<x>&#128512;&#x1F600;</x>", {u"x"}, u"\U0001F600\U0001F600"},
      // Not references: no ";" within nine characters, code point 0, a
      // surrogate, out of range, non-ASCII inside, a bare "&".
      {u"<x>&amp &abcdefghij; &#0; &#xD800; &#x110000; &am\u00E9; & ;</x>", {u"x"},
       u"&amp &abcdefghij; &#0; &#xD800; &#x110000; &am\u00E9; & ;"},
      {u"<x>&#x;&#;&#12a;</x>", {u"x"}, u"&#x;&#;&#12a;"},
      {u"<x> <![CDATA[a]]b]]> <?pi?>c</x>", {u"x"}, u"a]]bc"},
      {u"<a><b>x</a>", {u"a", u"b"}, u""},
      {u"<r><s>\u4E2D\u6587</s></r>", {u"r", u"s"}, u"\u4E2D\u6587"},
  };
  for (const TextCase& c : cases) {
    XmlDocument doc(c.document);
    ASSERT_TRUE(Walk(doc, c.path)) << U8(c.document);
    EXPECT_EQ(U8(doc.ElementText()), U8(c.expected)) << U8(c.document);
  }
}

struct AttributeCase {
  const char16_t* document;
  const char16_t* name;
  const char16_t* expected;
};

TEST(XmlDocumentAttributes, ReadsQuotedUnquotedAndBareValues) {
  const AttributeCase cases[] = {
      {u"<a b=\"1>2\">", u"b", u"1>2"},
      {u"<a b='x' c=\"y\"/>", u"c", u"y"},
      {u"<a href=x/>", u"href", u"x/"},
      {u"<input checked>", u"checked", u"checked"},
      {u"<input checked>", u"missing", u""},
      {u"<a t=\"&lt;&#65;&amp;\"/>", u"t", u"<A&"},
      {u"<a  b = \"v\" />", u"b", u"v"},
      {u"<a bc=\"1\" b=\"2\"/>", u"b", u"2"},        // bc is not b
      {u"<a b=\"1\"/>", u"b c", u"1"},              // caller's name ends at a delimiter
      {u"<a b=\"1\"/>", u"", u""},
      {u"<a b=\"unclosed>", u"b", u""},             // not an element: the tag never ends
  };
  for (const AttributeCase& c : cases) {
    XmlDocument doc(c.document);
    doc.FindElement();
    EXPECT_EQ(U8(doc.AttributeValue(c.name)), U8(c.expected)) << U8(c.document);
  }
}

struct RepairCase {
  const char16_t* document;
  bool wellFormed;
  const char16_t* log;
};

// Repairs of ill-formed markup and the records they leave.
TEST(XmlDocumentRepair, RecordsEveryRepair) {
  const RepairCase cases[] = {
      {u"<a><b/></a>", true, u""},
      {u"<a><b>x</a>", false, u"<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"8\"/>"},
      {u"<a></b></a>", false, u"<lone_end_tag tagname=\"b\" offset=\"3\"/>"},
      {u"<a/><b/>", false, u"<root_has_sibling/>"},
      {u"", false, u""},
      {u"just text", false, u"<no_root_element/>"},
      {u"<1a>", false, u"<first_tag_syntax offset=\"0\"/><no_root_element/>"},
      {u"<r><!x></r>", false, u"<exclamation_tag_syntax offset=\"3\"/>"},
      {u"<r><!-x></r>", false, u"<comment_tag_syntax offset=\"3\"/>"},
      {u"<r><![x]></r>", false, u"<cdata_section_syntax offset=\"3\"/>"},
      {u"<r><!-->x</r>", true, u""},
      {u"<?>ok<r/>", true, u""},
      {u"<!DOCTYPE r [<!ELEMENT r ANY><!-- > --><!X>]><r/>", true,
       u"<doctype_tag_syntax offset=\"0\"/>"},
      {u"<r/><a b='x", false,
       u"<unterminated_tag_syntax type=\"start_tag\" offset=\"4\"/>"},
      {u"<r/></r", false, u"<unterminated_tag_syntax type=\"end_tag\" offset=\"4\"/>"},
      {u"<r/><", false, u"<unterminated_tag_syntax type=\"tag\" offset=\"4\"/>"},
      {u"<r/><!-- x", false, u"<unterminated_tag_syntax type=\"comment\" offset=\"4\"/>"},
      {u"<r/><![CDATA[x", false,
       u"<unterminated_tag_syntax type=\"cdata_section\" offset=\"4\"/>"},
      {u"<r/><?pi", false,
       u"<unterminated_tag_syntax type=\"processing_instruction\" offset=\"4\"/>"},
      {u"<r/><!DOCTYPE", false,
       u"<unterminated_tag_syntax type=\"document_type\" offset=\"4\"/>"},
      {u"<a><b>", false,
       u"<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"6\"/>"
       u"<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"6\"/><root_has_sibling/>"},
      {u"<a></A>", false,
       u"<lone_end_tag tagname=\"A\" offset=\"3\"/><unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"7\"/>"},
  };
  for (const RepairCase& c : cases) {
    XmlDocument doc;
    EXPECT_EQ(doc.SetText(c.document), c.wellFormed) << U8(c.document);
    EXPECT_EQ(doc.CheckWellFormed(), c.wellFormed) << U8(c.document);
    EXPECT_EQ(U8(doc.ResultLog()), U8(c.log)) << U8(c.document);
  }
}

// An element left open keeps only its start tag; its children move up and
// stay reachable in order, and the close of its parent still counts.
TEST(XmlDocumentRepair, OpenElementsChildrenBecomeItsSiblings) {
  XmlDocument doc(u"<r><a><b>1</b><c>2</c></r>");
  EXPECT_FALSE(doc.CheckWellFormed());
  ASSERT_TRUE(doc.FindElement(u"r"));
  const ElementRecord& r = doc.Record(doc.MainPosition());
  EXPECT_EQ(r.length, 26u);
  EXPECT_EQ(r.EndTagLength(), 4u);
  ASSERT_TRUE(doc.FindChildElement(u"a"));
  const ElementRecord& a = doc.Record(doc.ChildPosition());
  EXPECT_TRUE(a.flagsAndLevel & ElementRecord::kLeftOpen);
  EXPECT_EQ(a.length, 3u);
  EXPECT_EQ(a.firstChild, 0);
  ASSERT_TRUE(doc.FindChildElement(u"b"));
  EXPECT_EQ(U8(doc.ChildElementText()), "1");
  ASSERT_TRUE(doc.FindChildElement(u"c"));
  EXPECT_EQ(U8(doc.ChildElementText()), "2");
  EXPECT_FALSE(doc.FindChildElement());
  // The last child is still known to the first one.
  const ElementRecord& first = doc.Record(r.firstChild);
  EXPECT_TRUE(first.flagsAndLevel & ElementRecord::kFirstChild);
  EXPECT_EQ(U8(Text(doc.TagName(first.previousSibling))), "c");
  EXPECT_EQ(doc.Record(first.previousSibling).parent, doc.MainPosition());
}

// A run of unclosed elements flattens under the element that does close,
// with every moved element knowing its new parent.
TEST(XmlDocumentRepair, NestedOpenElementsAllMoveToTheClosingParent) {
  XmlDocument doc(u"<r><a><b><c/><d>x</d></r><s/>");
  ASSERT_TRUE(doc.FindElement(u"r"));
  std::string names;
  while (doc.FindChildElement()) {
    names += TextToUtf8(Text(doc.TagName(doc.ChildPosition())));
    EXPECT_EQ(doc.Record(doc.ChildPosition()).parent, doc.MainPosition());
  }
  EXPECT_EQ(names, "abcd");
  ASSERT_TRUE(doc.EnterElement());
  ASSERT_TRUE(doc.LeaveElement());
  EXPECT_TRUE(doc.FindElement(u"s"));
}

TEST(XmlDocumentRepair, MarkupErrorFlagMovesToTheParentOfAnOpenElement) {
  XmlDocument doc(u"<r><a><1></r>");
  ASSERT_TRUE(doc.FindElement(u"r"));
  EXPECT_TRUE(doc.Record(doc.MainPosition()).flagsAndLevel & ElementRecord::kMarkupError);
  ASSERT_TRUE(doc.FindChildElement(u"a"));
  EXPECT_FALSE(doc.Record(doc.ChildPosition()).flagsAndLevel & ElementRecord::kMarkupError);
}

// The calling order of the client: find the answer, step through children,
// descend into one that has children of its own and come back.
TEST(XmlDocumentNavigation, FollowsTheCallersOrder) {
  XmlDocument doc(
      u"<?xml version=\"1.0\"?><r><status>1</status><list><c id=\"7\"><n>A</n></c>"
      u"<c id=\"8\"><n>B</n></c></list><id>1</id><id>2</id></r>");
  ASSERT_TRUE(doc.FindChildElement(u"status"));  // selects r by itself
  EXPECT_EQ(doc.ParentPosition(), 0);
  EXPECT_EQ(U8(doc.ChildElementText()), "1");
  ASSERT_TRUE(doc.FindChildElement(u"list"));
  ASSERT_TRUE(doc.EnterElement());
  EXPECT_EQ(U8(Text(doc.TagName(doc.MainPosition()))), "list");
  std::string seen;
  while (doc.FindChildElement(u"c")) {
    seen += TextToUtf8(doc.ChildAttributeValue(u"id"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindChildElement(u"n"));
    seen += TextToUtf8(doc.ChildElementText());
    EXPECT_EQ(doc.ChildAttributeValue(u"id"), u"");
    ASSERT_TRUE(doc.LeaveElement());
  }
  EXPECT_EQ(seen, "7A8B");
  ASSERT_TRUE(doc.LeaveElement());
  EXPECT_EQ(U8(Text(doc.TagName(doc.MainPosition()))), "r");
  EXPECT_EQ(U8(Text(doc.TagName(doc.ChildPosition()))), "list");
  ASSERT_TRUE(doc.FindChildElement(u"id"));
  EXPECT_EQ(U8(doc.ChildElementText()), "1");
  ASSERT_TRUE(doc.FindChildElement(u"id"));
  EXPECT_EQ(U8(doc.ChildElementText()), "2");
  const std::int32_t second = doc.ChildPosition();
  EXPECT_FALSE(doc.FindChildElement(u"id"));
  EXPECT_EQ(doc.ChildPosition(), second);
  EXPECT_FALSE(doc.FindChildElement(u"status")) << "finds only go forward";
  ASSERT_TRUE(doc.LeaveElement() == false);  // already at the document level
  doc.ResetMainPosition();
  EXPECT_EQ(doc.MainPosition(), 0);
  ASSERT_TRUE(doc.FindChildElement(u"status"));
}

TEST(XmlDocumentNavigation, NamesAndFailures) {
  XmlDocument doc(u"<a/><b/><ab/>");
  EXPECT_TRUE(doc.FindElement(u"b"));
  EXPECT_FALSE(doc.FindElement(u"a")) << "a lies behind the position";
  EXPECT_TRUE(doc.FindElement(u"ab"));
  doc.ResetMainPosition();
  EXPECT_FALSE(doc.FindElement(u"/a"));
  EXPECT_EQ(doc.MainPosition(), 0);
  EXPECT_TRUE(doc.FindElement(u"a[1]")) << "only the part before a delimiter is compared";
  EXPECT_FALSE(doc.FindElement(u"A"));
  EXPECT_FALSE(doc.EnterElement() && doc.FindElement()) << "a has no children";

  XmlDocument empty;
  EXPECT_FALSE(empty.FindElement());
  EXPECT_FALSE(empty.FindChildElement());
  EXPECT_FALSE(empty.EnterElement());
  EXPECT_FALSE(empty.LeaveElement());
  EXPECT_EQ(empty.ElementText(), u"");
  EXPECT_EQ(empty.AttributeValue(u"x"), u"");
  EXPECT_EQ(empty.ResultLog(), u"");
}

TEST(XmlDocumentFlags, CaseAndWhitespaceFlags) {
  XmlDocument doc;
  doc.SetDocumentFlags(XmlDocument::kFlagIgnoreCase | XmlDocument::kFlagTrimWhitespace);
  EXPECT_TRUE(doc.SetText(u"<Root ID=\" 5 \"><Item>  a  b \n</ITEM></root>"));
  ASSERT_TRUE(doc.FindElement(u"ROOT"));
  EXPECT_EQ(U8(doc.AttributeValue(u"id")), "5");
  ASSERT_TRUE(doc.FindChildElement(u"item"));
  EXPECT_EQ(U8(doc.ChildElementText()), "a  b");
  doc.SetDocumentFlags(XmlDocument::kFlagIgnoreCase | XmlDocument::kFlagCollapseWhitespace);
  EXPECT_EQ(U8(doc.ChildElementText()), "a b");
  // Past an identical non-ASCII character names compare exactly.
  doc.SetText(u"<\u00E9a/>");
  EXPECT_FALSE(doc.FindElement(u"\u00E9A"));
}

// Many elements use further index segments; links across segments hold.
TEST(XmlDocumentIndex, GrowsAcrossSegments) {
  const int count = XmlDocument::kSegmentRecords + 10;
  Text text = u"<r>";
  for (int i = 0; i < count; ++i) text += u"<e/>";
  text += u"<last>end</last></r>";
  XmlDocument doc(text);
  EXPECT_TRUE(doc.CheckWellFormed());
  EXPECT_EQ(doc.ElementCount(), count + 2);
  EXPECT_GE(doc.IndexCapacity(), count + 3);
  ASSERT_TRUE(doc.FindChildElement(u"last"));
  EXPECT_GE(doc.ChildPosition(), XmlDocument::kSegmentRecords);
  EXPECT_EQ(U8(doc.ChildElementText()), "end");
  EXPECT_EQ(doc.Record(doc.ChildPosition()).parent, doc.MainPosition());
}

TEST(XmlLog, RecordsEscapeAndStopGrowing) {
  Text log;
  xml::LogRecord r;
  r.name = "lone_end_tag";
  r.textName = "tagname";
  r.textValue = u"<&\"'>";
  r.numberName = "offset";
  r.number = 12;
  xml::AppendLogRecord(log, r);
  EXPECT_EQ(U8(log), "<lone_end_tag tagname=\"&lt;&amp;&quot;&apos;&gt;\" offset=\"12\"/>");
  while (log.size() <= xml::kResultLogLimit) xml::AppendLogRecord(log, r);
  const std::size_t full = log.size();
  xml::AppendLogRecord(log, r);
  EXPECT_EQ(log.size(), full);

  Text read = u"<bom/><read encoding=\"\" length=\"3\"/><read encoding=\"\"/>";
  EXPECT_TRUE(xml::SetFirstRecordAttribute(read, "read", "encoding", u"UTF-8"));
  EXPECT_EQ(U8(read), "<bom/><read encoding=\"UTF-8\" length=\"3\"/><read encoding=\"\"/>");
  EXPECT_TRUE(xml::SetFirstRecordAttribute(read, "bom", "n", u"1"));
  EXPECT_EQ(U8(read.substr(0, 12)), "<bom n=\"1\"/>");
  EXPECT_FALSE(xml::SetFirstRecordAttribute(read, "missing", "n", u"1"));
}

TEST(XmlLog, CdataSectionNeverEndsEarly) {
  EXPECT_EQ(U8(xml::CdataSection(u"a]]>b]]>")), "<![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]>");
  // Read back, the sections give the original text.
  XmlDocument doc(u"<x>" + xml::CdataSection(u"<a>]]>&amp;") + u"</x>");
  ASSERT_TRUE(doc.FindElement(u"x"));
  EXPECT_EQ(U8(doc.ElementText()), "<a>]]>&amp;");
}

}  // namespace
}  // namespace kavrel
