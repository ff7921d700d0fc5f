// The node scanner and the small text helpers shared by indexing, text
// reading and the declared-charset search.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/platform/text.h"

namespace kavrel {
namespace xml {

enum NodeKind : int {
  kNodeEndTag = 0,
  kNodeElement = 1,
  kNodeText = 2,
  kNodeWhitespace = 4,
  kNodeCdata = 8,
  kNodeProcessingInstruction = 16,
  kNodeComment = 32,
  kNodeDocumentType = 64,
  kNodeError = -1,
  kNodeEndOfText = -2,
};

struct Node {
  int kind = kNodeEndOfText;
  std::size_t start = 0;
  std::size_t length = 0;
  bool empty = false;  // start tag ending in "/>"
};

// Reads one node at a time. Syntax problems are appended to `log` when one
// is given (indexing passes the document's log; other scans pass none).
class NodeScanner {
 public:
  NodeScanner(TextView text, Text* log) : text_(text), log_(log) {}
  Node Next(std::size_t pos);

 private:
  Node Error(std::size_t start, std::size_t from, const char* record);
  Node Unterminated(std::size_t start, const char* type);
  std::size_t FindClose(std::size_t from, char16_t before1, char16_t before2) const;
  Node StartTag(std::size_t pos);
  Node DocumentType(std::size_t pos);

  TextView text_;
  Text* log_;
};

// Length of the name read from a tag at `pos`: up to the first name-end
// character, or that one character when the name starts with it.
std::size_t NameLengthAt(TextView text, std::size_t pos);

// A caller's name matches a tag's name when the tag name is a prefix of it
// and the caller's name ends there or at a delimiter. With `ignoreCase`,
// a-z and A-Z compare equal until an identical character above 127 is met.
bool NameMatches(TextView callerName, TextView tagName, bool ignoreCase);

// Finds attribute `name` in a tag whose name ends at `pos` and sets `value`
// to its raw text (an attribute without "=" reads as its own name). False
// when "/", ">" or "?" comes first or the text ends.
bool FindRawAttribute(TextView text, std::size_t pos, TextView name, bool ignoreCase,
                      TextView& value);

// Decodes character references; trims (and collapses) whitespace when the
// document flags ask for it.
void AppendDecoded(TextView raw, Text& out);
void ApplyWhitespaceFlags(Text& value, std::int32_t documentFlags);

// Code point of a named character reference (case of `name` ignored when
// no entry of the exact case exists), 0 when unknown.
std::uint32_t NamedReference(TextView name);

}  // namespace xml
}  // namespace kavrel
