// Fuzzes indexing, navigation and reading. The input is a document in UTF-8;
// an input that begins with 0xFF instead carries a flags byte and a mode
// byte (bit 0: the rest is raw UTF-16 units) before the document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/xml/xml_document.h"
#include "common/xml/xml_log.h"

namespace {

using kavrel::ElementRecord;
using kavrel::Text;
using kavrel::XmlDocument;

void Check(bool condition) {
  if (!condition) std::abort();
}

void ReadAround(XmlDocument& doc) {
  doc.ElementText();
  doc.ChildElementText();
  doc.AttributeValue(u"id");
  doc.ChildAttributeValue(u"a");
  const Text name(doc.TagName(doc.ChildPosition()));
  doc.AttributeValue(name);
  doc.ChildAttributeValue(name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::int32_t flags = 0;
  bool utf16 = false;
  if (size >= 3 && data[0] == 0xFF) {
    flags = (data[1] & 0x07) == 0 ? 0 : ((data[1] & 1 ? XmlDocument::kFlagIgnoreCase : 0) |
                                          (data[1] & 2 ? XmlDocument::kFlagTrimWhitespace : 0) |
                                          (data[1] & 4 ? XmlDocument::kFlagCollapseWhitespace : 0));
    utf16 = data[2] & 1;
    data += 3;
    size -= 3;
  }
  Text text;
  if (utf16) {
    for (std::size_t i = 0; i + 1 < size; i += 2)
      text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  } else {
    text = kavrel::Utf8ToText(std::string_view(reinterpret_cast<const char*>(data), size));
  }

  XmlDocument doc;
  doc.SetDocumentFlags(flags);
  const bool wellFormed = doc.SetText(text);
  Check(wellFormed == doc.CheckWellFormed());
  // Records stop once the log passes its limit; the last one may carry a
  // tag name as long as the text, escaped.
  Check(doc.ResultLog().size() <= kavrel::xml::kResultLogLimit + 6 * text.size() + 200);

  // Every record stays inside the text and links only to real records.
  const std::int32_t count = doc.ElementCount();
  for (std::int32_t i = 1; i <= count; ++i) {
    const ElementRecord& r = doc.Record(i);
    Check(r.start < text.size() && r.start + static_cast<std::uint64_t>(r.length) <= text.size());
    Check(r.parent >= 0 && r.parent <= count && r.parent != i);
    Check(r.firstChild >= 0 && r.firstChild <= count);
    Check(r.nextSibling >= 0 && r.nextSibling <= count && r.nextSibling != i);
  }

  // Depth-first walk of the whole tree through the cursor alone; each
  // element is entered once and left once, so the walk is bounded.
  std::int64_t steps = 0;
  const std::int64_t maxSteps = 4 * static_cast<std::int64_t>(count) + 8;
  std::int32_t visited = 0;
  if (doc.FindElement()) {
    ++visited;
    for (;;) {
      Check(++steps <= maxSteps);
      ReadAround(doc);
      if (doc.FindChildElement()) {
        ReadAround(doc);
        Check(doc.EnterElement());
        ++visited;
        continue;
      }
      if (doc.LeaveElement()) continue;
      if (!doc.FindElement()) break;
      ++visited;
    }
  }
  Check(visited == count);

  // Named finds from a fresh position, with names taken from the input.
  doc.ResetMainPosition();
  const Text name = text.substr(0, text.size() % 7);
  doc.FindChildElement(name);
  doc.FindElement(name);
  doc.EnterElement();
  doc.FindElement(name);
  ReadAround(doc);
  kavrel::xml::CdataSection(text);
  return 0;
}
