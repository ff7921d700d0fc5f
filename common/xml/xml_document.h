// XmlDocument: the one tolerant XML reader of both programs. Every service
// answer, the language file and the updater's server list are read with it.
//
// The document keeps its whole text as UTF-16 and builds, once per text, an
// index of the elements: one 32-byte ElementRecord per element holding only
// offsets into the text and links to its relatives. Text content and
// attribute values are produced on demand by scanning from those offsets,
// with character references decoded.
//
// The reader never rejects a document. Ill-formed markup (unclosed elements,
// stray end tags, broken tags) is repaired well enough to navigate, written
// to the result log and reflected in CheckWellFormed(), which callers are
// free to ignore.
//
// Navigation uses three positions, each an index into the element index:
//   parent - the element whose children form the main level (0 = document),
//   main   - the current element of that level (0 = none),
//   child  - the current child of the main element (0 = none).
// Every find continues after the position found before it, so callers look
// up sibling names in document order:
//
//   XmlDocument doc(answerText);
//   if (doc.FindChildElement(u"status")) status = doc.ChildElementText();
//   if (doc.FindChildElement(u"url")) url = doc.ChildElementText();
//
// A document is used by one thread at a time and has no locks; the constant
// tables behind it are shared safely by all threads. Running out of memory
// propagates as std::bad_alloc; nothing else throws.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/platform/text.h"

namespace kavrel {

// One element of the index: eight 32-bit fields, 32 bytes.
struct ElementRecord {
  // Bits of tagLengths.
  static constexpr std::uint32_t kStartTagLengthMask = 0x3FFFFF;  // bits 0-21
  static constexpr int kEndTagLengthShift = 22;                   // bits 22-31
  static constexpr std::uint32_t kEndTagLengthMax = 0x3FF;
  // Bits of flagsAndLevel.
  static constexpr std::uint32_t kLevelMask = 0xFFFF;
  static constexpr std::uint32_t kFirstChild = 0x80000;
  static constexpr std::uint32_t kLeftOpen = 0x100000;
  static constexpr std::uint32_t kMarkupError = 0x200000;
  static constexpr std::uint32_t kIllFormed = 0x800000;  // record 0 only

  std::uint32_t start = 0;          // index of the element's "<"
  std::uint32_t length = 0;         // to the end of the end tag (or start tag)
  std::uint32_t tagLengths = 0;     // start-tag length | end-tag length << 22
  std::uint32_t flagsAndLevel = 0;  // nesting level and the flags above
  std::int32_t parent = 0;          // 0 = top level
  std::int32_t firstChild = 0;      // 0 = none
  std::int32_t nextSibling = 0;     // 0 = last
  std::int32_t previousSibling = 0; // the first child's holds the last child

  std::uint32_t StartTagLength() const { return tagLengths & kStartTagLengthMask; }
  std::uint32_t EndTagLength() const { return tagLengths >> kEndTagLengthShift; }
  std::uint32_t Level() const { return flagsAndLevel & kLevelMask; }
};
static_assert(sizeof(ElementRecord) == 32, "an index record is 32 bytes");

class XmlDocument {
 public:
  // Document flags.
  static constexpr std::int32_t kFlagUtf16LeFile = 0x01;     // set by LoadFile
  static constexpr std::int32_t kFlagUtf8BomFile = 0x04;     // set by LoadFile
  static constexpr std::int32_t kFlagIgnoreCase = 0x08;      // ASCII-case-blind names
  static constexpr std::int32_t kFlagReadingFile = 0x10;     // only during a file read
  static constexpr std::int32_t kFlagUtf16BeFile = 0x80;     // set by LoadFile
  static constexpr std::int32_t kFlagTrimWhitespace = 0x100; // trim texts and values
  static constexpr std::int32_t kFlagCollapseWhitespace = 0x200;  // trim and collapse runs

  // Records per index segment; record i lives in segment i >> 16.
  static constexpr std::int32_t kSegmentRecords = 65536;

  // Flags 0, then SetText(text).
  explicit XmlDocument(TextView text = TextView());
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Replaces the text, clears the result log and indexes the text; all
  // positions are 0 afterwards. Returns CheckWellFormed().
  bool SetText(TextView text);

  // Reads the file (byte-order marks, declared charsets, UTF-8 detection,
  // conversion to UTF-16), keeps its encoding flags and indexes the text; the
  // result log holds the file records followed by the parsing records.
  // False when the file cannot be read: the text is then empty and every
  // find fails.
  bool LoadFile(const Text& path);

  // Next element at the main level whose tag name matches `name` (absent or
  // empty: the next element of any name; a name beginning with "/" finds
  // nothing). On success it becomes the main position and the child position
  // is cleared; on failure nothing changes.
  bool FindElement(TextView name = TextView());

  // Next child of the main element whose tag name matches `name`. Without a
  // main position, first selects the first element of the main level.
  bool FindChildElement(TextView name = TextView());

  // The main element becomes the parent level and the child becomes main.
  bool EnterElement();
  // Back up one level: the main element becomes the child again.
  bool LeaveElement();
  // Main and child positions 0; the parent position stays.
  void ResetMainPosition();

  // Text content, with character references decoded and CDATA sections
  // taken as they stand. Empty for position 0, an empty element, an element
  // left open and an element that has child elements.
  Text ElementText() const;
  Text ChildElementText() const;

  // The decoded value of the first attribute whose name matches `name`; an
  // attribute written without "=" reads as its own name. Empty when absent.
  Text AttributeValue(TextView name) const;
  Text ChildAttributeValue(TextView name) const;

  // True when no markup had to be repaired and there is exactly one
  // top-level element.
  bool CheckWellFormed() const;

  // Records of the last indexing or file read, as a sequence of empty
  // elements, e.g. <lone_end_tag tagname="b" offset="3"/>.
  const Text& ResultLog() const { return resultLog_; }

  // The whole document text.
  const Text& DocumentText() const { return text_; }

  // Document flags (kFlag...). Every document of the system uses 0; the case
  // and whitespace flags apply to reads and finds from the next call on.
  std::int32_t DocumentFlags() const { return documentFlags_; }
  void SetDocumentFlags(std::int32_t flags) { documentFlags_ = flags; }

  // Read-only view of the index, for tools and tests. Record 0 is the
  // document holder; elements are 1 .. ElementCount().
  std::int32_t ParentPosition() const { return parentPosition_; }
  std::int32_t MainPosition() const { return mainPosition_; }
  std::int32_t ChildPosition() const { return childPosition_; }
  std::int32_t ElementCount() const { return nextFreeRecord_ - 1; }
  const ElementRecord& Record(std::int32_t index) const;
  // Records the index can hold without growing.
  std::int32_t IndexCapacity() const { return capacity_; }

  // The element's tag name as written in its start tag.
  TextView TagName(std::int32_t index) const;

 private:
  class Indexer;

  ElementRecord& MutableRecord(std::int32_t index);
  void ResetIndex(std::size_t textLength);
  std::int32_t NewRecord();
  void GrowIndex(std::int32_t minimum);
  void Index();
  void SetNodeToMain();
  Text ContentText(std::int32_t index) const;
  Text AttributeOf(std::int32_t index, TextView name) const;

  // Fields in the order the reader's design gives them.
  Text text_;
  Text resultLog_;
  std::int32_t parentPosition_ = 0;
  std::int32_t mainPosition_ = 0;
  std::int32_t childPosition_ = 0;
  std::int32_t nextFreeRecord_ = 1;
  std::int32_t nodeKind_ = 0;
  std::int32_t nodeOffset_ = 0;
  std::int32_t nodeLength_ = 0;
  std::int32_t documentFlags_ = 0;
  // Index storage: full segments of kSegmentRecords records; the last one may
  // be smaller and is enlarged in place as the capacity grows.
  std::vector<std::unique_ptr<ElementRecord[]>> segments_;
  std::vector<std::int32_t> segmentSizes_;
  std::int32_t capacity_ = 0;
};

}  // namespace kavrel
