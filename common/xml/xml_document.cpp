#include "common/xml/xml_document.h"

#include <algorithm>
#include <cstring>

#include "common/xml/xml_chars.h"
#include "common/xml/xml_file.h"
#include "common/xml/xml_log.h"
#include "common/xml/xml_scanner.h"

namespace kavrel {

using xml::LogRecord;
using xml::Node;
using xml::NodeScanner;

namespace {

constexpr std::size_t kInitialOpenTags = 7;

void LogTagRecord(Text& log, const char* name, TextView tagName, std::size_t offset,
                  bool hasOffset2 = false, std::size_t offset2 = 0) {
  LogRecord r;
  r.name = name;
  r.textName = "tagname";
  r.textValue = Text(tagName);
  r.numberName = "offset";
  r.number = static_cast<std::int64_t>(offset);
  r.hasOffset2 = hasOffset2;
  r.offset2 = static_cast<std::int64_t>(offset2);
  xml::AppendLogRecord(log, r);
}

}  // namespace

// ---------------------------------------------------------------- storage

XmlDocument::XmlDocument(TextView text) { SetText(text); }

XmlDocument::~XmlDocument() = default;

const ElementRecord& XmlDocument::Record(std::int32_t index) const {
  static const ElementRecord kNone{};
  if (index < 0 || index >= nextFreeRecord_) return kNone;
  return segments_[static_cast<std::size_t>(index) >> 16][index & 0xFFFF];
}

ElementRecord& XmlDocument::MutableRecord(std::int32_t index) {
  return segments_[static_cast<std::size_t>(index) >> 16][index & 0xFFFF];
}

void XmlDocument::GrowIndex(std::int32_t minimum) {
  if (minimum <= capacity_) return;
  const std::size_t segmentsNeeded = (static_cast<std::size_t>(minimum) + kSegmentRecords - 1) / kSegmentRecords;
  for (std::size_t s = 0; s < segmentsNeeded; ++s) {
    const std::int32_t want = static_cast<std::int32_t>(
        std::min<std::int64_t>(kSegmentRecords, static_cast<std::int64_t>(minimum) -
                                                    static_cast<std::int64_t>(s) * kSegmentRecords));
    if (s < segments_.size()) {
      if (segmentSizes_[s] >= want) continue;
      std::unique_ptr<ElementRecord[]> bigger(new ElementRecord[want]);
      std::copy(segments_[s].get(), segments_[s].get() + segmentSizes_[s], bigger.get());
      segments_[s] = std::move(bigger);
      segmentSizes_[s] = want;
    } else {
      segments_.emplace_back(new ElementRecord[want]);
      segmentSizes_.push_back(want);
    }
  }
  capacity_ = minimum;
}

void XmlDocument::ResetIndex(std::size_t textLength) {
  segments_.clear();
  segmentSizes_.clear();
  capacity_ = 0;
  const std::size_t wanted = std::min<std::size_t>(textLength / 64 + 8, 0x7FFFFFF0);
  GrowIndex(static_cast<std::int32_t>(wanted));
  MutableRecord(0) = ElementRecord{};
  nextFreeRecord_ = 1;
  parentPosition_ = mainPosition_ = childPosition_ = 0;
  SetNodeToMain();
}

std::int32_t XmlDocument::NewRecord() {
  if (nextFreeRecord_ >= capacity_) {
    const std::int64_t grown = std::max<std::int64_t>(static_cast<std::int64_t>(capacity_) * 3 / 2,
                                                      static_cast<std::int64_t>(capacity_) + 1);
    GrowIndex(static_cast<std::int32_t>(std::min<std::int64_t>(grown, 0x7FFFFFFF)));
  }
  const std::int32_t index = nextFreeRecord_++;
  MutableRecord(index) = ElementRecord{};
  return index;
}

void XmlDocument::SetNodeToMain() {
  nodeKind_ = mainPosition_ ? 1 : 0;
  nodeOffset_ = 0;
  nodeLength_ = 0;
}

TextView XmlDocument::TagName(std::int32_t index) const {
  if (index <= 0 || index >= nextFreeRecord_) return TextView();
  const std::size_t start = Record(index).start + 1;
  return TextView(text_).substr(start, xml::NameLengthAt(text_, start));
}

// ---------------------------------------------------------------- indexing

// One indexing pass over the text: the open-tag stack and the linking of new
// records, kept apart from the document so its state stays simple.
class XmlDocument::Indexer {
 public:
  explicit Indexer(XmlDocument& doc) : doc_(doc), text_(doc.text_) { open_.reserve(kInitialOpenTags); }

  void Run() {
    NodeScanner scanner(text_, &doc_.resultLog_);
    std::int32_t root = 0;
    std::size_t pos = 0;
    for (;;) {
      const Node node = scanner.Next(pos);
      if (node.kind == xml::kNodeEndOfText) break;
      pos = node.start + node.length;
      switch (node.kind) {
        case xml::kNodeElement: {
          const std::int32_t index = StartElement(node);
          if (!root) root = index;
          break;
        }
        case xml::kNodeEndTag:
          EndElement(node);
          break;
        case xml::kNodeError:
          MarkError();
          break;
        default:
          break;
      }
    }
    LeaveOpenDownTo(0, text_.size());

    ElementRecord& holder = doc_.MutableRecord(0);
    holder.length = static_cast<std::uint32_t>(text_.size());
    holder.firstChild = root;
    if (!root) {
      LogRecord r;
      r.name = "no_root_element";
      xml::AppendLogRecord(doc_.resultLog_, r);
    } else if (doc_.Record(root).nextSibling) {
      LogRecord r;
      r.name = "root_has_sibling";
      xml::AppendLogRecord(doc_.resultLog_, r);
    }
  }

 private:
  struct OpenTag {
    std::int32_t index;
    std::size_t nameStart;
    std::size_t nameLength;
  };

  ElementRecord& Rec(std::int32_t i) { return doc_.MutableRecord(i); }

  void SetIllFormed() { Rec(0).flagsAndLevel |= ElementRecord::kIllFormed; }

  void MarkError() {
    SetIllFormed();
    if (!open_.empty()) Rec(open_.back().index).flagsAndLevel |= ElementRecord::kMarkupError;
  }

  void AppendChild(std::int32_t parent, std::int32_t child) {
    ElementRecord& p = Rec(parent);
    if (!p.firstChild) {
      p.firstChild = child;
      ElementRecord& c = Rec(child);
      c.previousSibling = child;
      c.flagsAndLevel |= ElementRecord::kFirstChild;
      return;
    }
    const std::int32_t first = p.firstChild;
    const std::int32_t last = Rec(first).previousSibling;
    Rec(last).nextSibling = child;
    Rec(child).previousSibling = last;
    Rec(first).previousSibling = child;
  }

  std::int32_t StartElement(const Node& node) {
    const std::int32_t parent = open_.empty() ? 0 : open_.back().index;
    const std::int32_t index = doc_.NewRecord();
    {
      ElementRecord& r = Rec(index);
      r.start = static_cast<std::uint32_t>(node.start);
      r.parent = parent;
      r.flagsAndLevel = static_cast<std::uint32_t>(std::min<std::size_t>(open_.size(), ElementRecord::kLevelMask));
      r.tagLengths = static_cast<std::uint32_t>(std::min<std::size_t>(node.length, ElementRecord::kStartTagLengthMask));
      r.length = static_cast<std::uint32_t>(node.length);
    }
    AppendChild(parent, index);
    if (!node.empty) {
      const std::size_t nameStart = node.start + 1;
      open_.push_back(OpenTag{index, nameStart, xml::NameLengthAt(text_, nameStart)});
    }
    return index;
  }

  void EndElement(const Node& node) {
    const std::size_t nameStart = node.start + 2;
    const TextView endName = TextView(text_).substr(nameStart, xml::NameLengthAt(text_, nameStart));
    const bool ignoreCase = (doc_.documentFlags_ & kFlagIgnoreCase) != 0;
    std::size_t match = open_.size();
    for (std::size_t i = open_.size(); i-- > 0;) {
      const TextView openName = TextView(text_).substr(open_[i].nameStart, open_[i].nameLength);
      if (xml::NameMatches(endName, openName, ignoreCase)) {
        match = i;
        break;
      }
    }
    if (match == open_.size()) {
      LogTagRecord(doc_.resultLog_, "lone_end_tag", endName, node.start);
      MarkError();
      return;
    }
    LeaveOpenDownTo(match + 1, node.start + 1);
    ElementRecord& r = Rec(open_.back().index);
    r.length = static_cast<std::uint32_t>(node.start + node.length - r.start);
    const std::uint32_t endLength = static_cast<std::uint32_t>(
        std::min<std::size_t>(node.length, ElementRecord::kEndTagLengthMax));
    r.tagLengths = (r.tagLengths & ElementRecord::kStartTagLengthMask) |
                   (endLength << ElementRecord::kEndTagLengthShift);
    open_.pop_back();
  }

  // Leaves open every element above the first `keep` stack entries. The
  // moved children learn their new parent once, after the whole run, so a
  // long run of unclosed elements costs linear time, not quadratic.
  void LeaveOpenDownTo(std::size_t keep, std::size_t offset2) {
    if (open_.size() <= keep) return;
    const std::int32_t outermost = open_[keep].index;
    while (open_.size() > keep) LeaveOpen(offset2);
    // The outermost one was its parent's last child, so everything after it
    // in the list has just moved there.
    const std::int32_t parent = Rec(outermost).parent;
    for (std::int32_t c = Rec(outermost).nextSibling; c; c = Rec(c).nextSibling) Rec(c).parent = parent;
  }

  // The innermost open element has no end tag: it keeps only its start tag
  // and its children become its following siblings.
  void LeaveOpen(std::size_t offset2) {
    const OpenTag tag = open_.back();
    open_.pop_back();
    SetIllFormed();
    ElementRecord& e = Rec(tag.index);
    e.tagLengths &= ElementRecord::kStartTagLengthMask;
    e.flagsAndLevel |= ElementRecord::kLeftOpen;
    e.length = e.StartTagLength();
    const std::int32_t parent = e.parent;
    if ((e.flagsAndLevel & ElementRecord::kMarkupError) && parent) {
      e.flagsAndLevel &= ~ElementRecord::kMarkupError;
      Rec(parent).flagsAndLevel |= ElementRecord::kMarkupError;
    }
    const std::int32_t first = e.firstChild;
    if (first) {
      // The open element is the last child of its parent, so its children
      // go to the end of the parent's list.
      const std::int32_t last = Rec(first).previousSibling;
      e.firstChild = 0;
      e.nextSibling = first;
      ElementRecord& f = Rec(first);
      f.previousSibling = tag.index;
      f.flagsAndLevel &= ~ElementRecord::kFirstChild;
      Rec(Rec(parent).firstChild).previousSibling = last;
    }
    LogTagRecord(doc_.resultLog_, "unended_start_tag",
                 TextView(text_).substr(tag.nameStart, tag.nameLength), Rec(tag.index).start, true,
                 offset2);
  }

  XmlDocument& doc_;
  const Text& text_;
  std::vector<OpenTag> open_;
};

void XmlDocument::Index() {
  ResetIndex(text_.size());
  if (text_.empty()) return;
  Indexer(*this).Run();
  parentPosition_ = mainPosition_ = childPosition_ = 0;
  SetNodeToMain();
}

bool XmlDocument::SetText(TextView text) {
  text_.assign(text.data(), text.size());
  resultLog_.clear();
  Index();
  return CheckWellFormed();
}

bool XmlDocument::LoadFile(const Text& path) {
  resultLog_.clear();
  const bool read = ReadDocumentFile(path, documentFlags_, text_, resultLog_);
  if (!read) text_.clear();
  Index();
  return read;
}

bool XmlDocument::CheckWellFormed() const {
  const ElementRecord& holder = Record(0);
  if (holder.flagsAndLevel & ElementRecord::kIllFormed) return false;
  return holder.firstChild != 0 && Record(holder.firstChild).nextSibling == 0;
}

// ---------------------------------------------------------------- navigation

bool XmlDocument::FindElement(TextView name) {
  if (!name.empty() && name[0] == u'/') return false;
  std::int32_t candidate = mainPosition_ ? Record(mainPosition_).nextSibling
                                         : Record(parentPosition_).firstChild;
  const bool ignoreCase = (documentFlags_ & kFlagIgnoreCase) != 0;
  for (; candidate; candidate = Record(candidate).nextSibling) {
    if (name.empty() || xml::NameMatches(name, TagName(candidate), ignoreCase)) break;
  }
  if (!candidate) return false;
  mainPosition_ = candidate;
  parentPosition_ = Record(candidate).parent;
  childPosition_ = 0;
  SetNodeToMain();
  return true;
}

bool XmlDocument::FindChildElement(TextView name) {
  if (!mainPosition_ && !FindElement()) return false;
  SetNodeToMain();
  if (!name.empty() && name[0] == u'/') return false;
  std::int32_t candidate = childPosition_ ? Record(childPosition_).nextSibling
                                          : Record(mainPosition_).firstChild;
  const bool ignoreCase = (documentFlags_ & kFlagIgnoreCase) != 0;
  for (; candidate; candidate = Record(candidate).nextSibling) {
    if (name.empty() || xml::NameMatches(name, TagName(candidate), ignoreCase)) break;
  }
  if (!candidate) return false;
  childPosition_ = candidate;
  return true;
}

bool XmlDocument::EnterElement() {
  if (!mainPosition_) return false;
  parentPosition_ = mainPosition_;
  mainPosition_ = childPosition_;
  childPosition_ = 0;
  SetNodeToMain();
  return true;
}

bool XmlDocument::LeaveElement() {
  if (!parentPosition_) return false;
  childPosition_ = mainPosition_;
  mainPosition_ = parentPosition_;
  parentPosition_ = Record(mainPosition_).parent;
  SetNodeToMain();
  return true;
}

void XmlDocument::ResetMainPosition() {
  mainPosition_ = 0;
  childPosition_ = 0;
  SetNodeToMain();
}

// ---------------------------------------------------------------- reading

Text XmlDocument::ContentText(std::int32_t index) const {
  if (index <= 0 || index >= nextFreeRecord_) return Text();
  const ElementRecord& r = Record(index);
  if (r.firstChild || r.EndTagLength() == 0) return Text();
  std::size_t contentStart = r.start + r.StartTagLength();
  if (r.StartTagLength() == ElementRecord::kStartTagLengthMask) {
    // The stored length saturated: measure the start tag again.
    contentStart = r.start + NodeScanner(text_, nullptr).Next(r.start).length;
  }
  const std::size_t elementEnd = std::min<std::size_t>(r.start + static_cast<std::size_t>(r.length), text_.size());
  std::size_t contentEnd = elementEnd - std::min<std::size_t>(r.EndTagLength(), elementEnd);
  if (r.EndTagLength() == ElementRecord::kEndTagLengthMax) {
    const std::size_t at = TextView(text_).substr(0, elementEnd).rfind(u"</");
    if (at != TextView::npos) contentEnd = at;
  }
  if (contentEnd <= contentStart) return Text();
  const TextView content = TextView(text_).substr(contentStart, contentEnd - contentStart);
  Text out;
  if (content.find(u'<') == TextView::npos) {
    xml::AppendDecoded(content, out);
  } else {
    NodeScanner scanner(content, nullptr);
    for (std::size_t pos = 0;;) {
      const Node node = scanner.Next(pos);
      if (node.kind == xml::kNodeEndOfText) break;
      pos = node.start + node.length;
      if (node.kind == xml::kNodeText) {
        xml::AppendDecoded(content.substr(node.start, node.length), out);
      } else if (node.kind == xml::kNodeCdata && node.length >= 12) {
        out.append(content.substr(node.start + 9, node.length - 12));
      }
    }
  }
  xml::ApplyWhitespaceFlags(out, documentFlags_);
  return out;
}

Text XmlDocument::AttributeOf(std::int32_t index, TextView name) const {
  if (index <= 0 || index >= nextFreeRecord_) return Text();
  const std::size_t nameStart = Record(index).start + 1;
  TextView value;
  if (!xml::FindRawAttribute(text_, nameStart + xml::NameLengthAt(text_, nameStart), name,
                             (documentFlags_ & kFlagIgnoreCase) != 0, value))
    return Text();
  Text out;
  xml::AppendDecoded(value, out);
  xml::ApplyWhitespaceFlags(out, documentFlags_);
  return out;
}

Text XmlDocument::ElementText() const { return ContentText(mainPosition_); }
Text XmlDocument::ChildElementText() const { return ContentText(childPosition_); }
Text XmlDocument::AttributeValue(TextView name) const { return AttributeOf(mainPosition_, name); }
Text XmlDocument::ChildAttributeValue(TextView name) const { return AttributeOf(childPosition_, name); }

}  // namespace kavrel
