#include "common/xml/xml_document.h"
#include "updater/update_files.h"

namespace kavrel {
namespace {

Text Trimmed(Text t) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  size_t b = 0, e = t.size();
  while (b < e && blank(t[b])) ++b;
  while (e > b && blank(t[e - 1])) --e;
  return t.substr(b, e - b);
}

}  // namespace

// Walks the element tree below the document element with the cursor (no recursion, so any depth
// is fine) and collects the children of every element named exactly "File".
// Texts are trimmed of surrounding blanks as the system's DOM document does.
bool ReadDescriptionWithXmlDocument(const Text& path, std::vector<DescribedFile>& files) {
  files.clear();
  XmlDocument doc;
  if (!doc.LoadFile(path) || doc.ElementCount() == 0) return false;
  auto collect = [&] {
    DescribedFile children;
    if (doc.EnterElement()) {
      while (doc.FindChildElement())
        children.emplace_back(Text(doc.TagName(doc.ChildPosition())), Trimmed(doc.ChildElementText()));
      doc.LeaveElement();
    }
    files.push_back(std::move(children));
  };
  // Descendants of the document element only, as the DOM reader sees them.
  if (doc.FindElement()) {
    int depth = 0;
    for (;;) {
      if (doc.FindChildElement()) {
        if (doc.TagName(doc.ChildPosition()) == u"File") collect();
        if (doc.EnterElement()) ++depth;
        continue;
      }
      if (depth == 0) break;
      doc.LeaveElement();
      --depth;
    }
  }
  return true;
}

}  // namespace kavrel
