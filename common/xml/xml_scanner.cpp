#include "common/xml/xml_scanner.h"

#include "common/xml/xml_chars.h"
#include "common/xml/xml_document.h"
#include "common/xml/xml_log.h"

namespace kavrel {
namespace xml {
namespace {

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

bool IsWs(char16_t c) { return IsClass(c, kWhitespace); }

}  // namespace

Node NodeScanner::Error(std::size_t start, std::size_t from, const char* record) {
  if (log_) {
    LogRecord r;
    r.name = record;
    r.numberName = "offset";
    r.number = static_cast<std::int64_t>(start);
    AppendLogRecord(*log_, r);
  }
  // Skip to the next ">" (inclusive) or the end of the text.
  std::size_t end = text_.find(u'>', from);
  end = end == TextView::npos ? text_.size() : end + 1;
  return Node{kNodeError, start, end - start, false};
}

Node NodeScanner::Unterminated(std::size_t start, const char* type) {
  if (log_) {
    LogRecord r;
    r.name = "unterminated_tag_syntax";
    r.textName = "type";
    r.textValue = AsciiToText(type);
    r.numberName = "offset";
    r.number = static_cast<std::int64_t>(start);
    AppendLogRecord(*log_, r);
  }
  return Node{kNodeError, start, text_.size() - start, false};
}

// Index just past the first ">" at or after `from` whose two preceding
// characters are `before1 before2` (before1 may be 0 for a one-character
// marker). The preceding characters are taken from anywhere in the text, so
// "<!-->" closes at its own ">".
std::size_t NodeScanner::FindClose(std::size_t from, char16_t before1, char16_t before2) const {
  for (std::size_t i = text_.find(u'>', from); i != TextView::npos; i = text_.find(u'>', i + 1)) {
    if (i < 1 || text_[i - 1] != before2) continue;
    if (before1 && (i < 2 || text_[i - 2] != before1)) continue;
    return i + 1;
  }
  return kNotFound;
}

Node NodeScanner::StartTag(std::size_t pos) {
  const std::size_t n = text_.size();
  bool afterEquals = false;
  bool inUnquoted = false;
  for (std::size_t i = pos + 1; i < n; ++i) {
    const char16_t c = text_[i];
    if (inUnquoted) {
      if (c == u'>') return Node{kNodeElement, pos, i + 1 - pos, false};
      if (IsWs(c)) inUnquoted = false;
      continue;
    }
    if (c == u'>') return Node{kNodeElement, pos, i + 1 - pos, text_[i - 1] == u'/'};
    if (c == u'=') {
      afterEquals = true;
    } else if (afterEquals && (c == u'"' || c == u'\'')) {
      const std::size_t close = text_.find(c, i + 1);
      if (close == TextView::npos) break;
      i = close;
      afterEquals = false;
    } else if (!IsWs(c)) {
      inUnquoted = afterEquals;
      afterEquals = false;
    }
  }
  return Unterminated(pos, "start_tag");
}

Node NodeScanner::DocumentType(std::size_t pos) {
  const std::size_t n = text_.size();
  std::size_t i = pos + 2;
  while (i < n) {
    const char16_t c = text_[i];
    if (c == u'>') return Node{kNodeDocumentType, pos, i + 1 - pos, false};
    if (c == u'"' || c == u'\'') {
      const std::size_t close = text_.find(c, i + 1);
      if (close == TextView::npos) break;
      i = close + 1;
      continue;
    }
    if (c == u'<' && i + 1 < n && text_[i + 1] == u'!') {
      const char16_t k = i + 2 < n ? text_[i + 2] : 0;
      if (k == u'-') {
        const std::size_t end = FindClose(i + 2, u'-', u'-');
        if (end == kNotFound) break;
        i = end;
        continue;
      }
      if (k == u'A' || k == u'E' || k == u'N') {
        // A markup declaration: ends at its own ">" outside quotes.
        std::size_t j = i + 3;
        bool closed = false;
        while (j < n) {
          const char16_t d = text_[j];
          if (d == u'>') {
            closed = true;
            break;
          }
          if (d == u'"' || d == u'\'') {
            const std::size_t close = text_.find(d, j + 1);
            if (close == TextView::npos) break;
            j = close;
          }
          ++j;
        }
        if (!closed) break;
        i = j + 1;
        continue;
      }
      if (log_) {
        LogRecord r;
        r.name = "doctype_tag_syntax";
        r.numberName = "offset";
        r.number = static_cast<std::int64_t>(pos);
        AppendLogRecord(*log_, r);
      }
      i += 2;
      continue;
    }
    ++i;
  }
  return Unterminated(pos, "document_type");
}

Node NodeScanner::Next(std::size_t pos) {
  const std::size_t n = text_.size();
  if (pos >= n) return Node{kNodeEndOfText, n, 0, false};
  if (text_[pos] != u'<') {
    std::size_t end = text_.find(u'<', pos);
    if (end == TextView::npos) end = n;
    int kind = kNodeWhitespace;
    for (std::size_t i = pos; i < end; ++i) {
      if (!IsWs(text_[i])) {
        kind = kNodeText;
        break;
      }
    }
    return Node{kind, pos, end - pos, false};
  }
  if (pos + 1 >= n) return Unterminated(pos, "tag");
  const char16_t c1 = text_[pos + 1];
  if (c1 == u'/') {
    const std::size_t close = text_.find(u'>', pos + 2);
    if (close == TextView::npos) return Unterminated(pos, "end_tag");
    return Node{kNodeEndTag, pos, close + 1 - pos, false};
  }
  if (c1 == u'?') {
    const std::size_t end = FindClose(pos + 1, 0, u'?');
    if (end == kNotFound) return Unterminated(pos, "processing_instruction");
    return Node{kNodeProcessingInstruction, pos, end - pos, false};
  }
  if (c1 == u'!') {
    if (pos + 2 >= n) return Unterminated(pos, "tag");
    const char16_t c2 = text_[pos + 2];
    if (c2 == u'-') {
      if (pos + 3 >= n) return Unterminated(pos, "comment");
      if (text_[pos + 3] != u'-') return Error(pos, pos + 3, "comment_tag_syntax");
      const std::size_t end = FindClose(pos + 2, u'-', u'-');
      if (end == kNotFound) return Unterminated(pos, "comment");
      return Node{kNodeComment, pos, end - pos, false};
    }
    if (c2 == u'[') {
      if (pos + 3 >= n) return Unterminated(pos, "cdata_section");
      if (text_[pos + 3] != u'C') return Error(pos, pos + 3, "cdata_section_syntax");
      const std::size_t end = FindClose(pos + 3, u']', u']');
      if (end == kNotFound) return Unterminated(pos, "cdata_section");
      return Node{kNodeCdata, pos, end - pos, false};
    }
    if (c2 == u'D') return DocumentType(pos);
    return Error(pos, pos + 2, "exclamation_tag_syntax");
  }
  if (IsClass(c1, kNameStart)) return StartTag(pos);
  return Error(pos, pos + 1, "first_tag_syntax");
}

std::size_t NameLengthAt(TextView text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  if (IsClass(text[pos], kNameEnd)) return 1;
  std::size_t i = pos;
  while (i < text.size() && !IsClass(text[i], kNameEnd)) ++i;
  return i - pos;
}

bool NameMatches(TextView callerName, TextView tagName, bool ignoreCase) {
  if (tagName.empty() || callerName.size() < tagName.size()) return false;
  bool exact = !ignoreCase;
  for (std::size_t i = 0; i < tagName.size(); ++i) {
    const char16_t a = callerName[i];
    const char16_t b = tagName[i];
    if (a == b) {
      if (a > 127) exact = true;
      continue;
    }
    if (exact || FoldAsciiUpper(a) != FoldAsciiUpper(b)) return false;
  }
  return callerName.size() == tagName.size() ||
         IsClass(callerName[tagName.size()], kNameDelimiter);
}

namespace {

constexpr std::size_t kMaxReferenceRead = 9;

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// Code point of a folded reference body, 0 when it is not a valid one.
std::uint32_t ReferenceValue(TextView folded, TextView original) {
  if (folded.empty()) return 0;
  if (folded[0] != u'#') return NamedReference(original);
  std::uint32_t value = 0;
  std::size_t i = 1;
  const bool hex = folded.size() > 1 && folded[1] == u'x';
  if (hex) i = 2;
  if (i >= folded.size()) return 0;
  for (; i < folded.size(); ++i) {
    const int d = hex ? HexValue(folded[i]) : (folded[i] >= u'0' && folded[i] <= u'9' ? folded[i] - u'0' : -1);
    if (d < 0) return 0;
    value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
    if (value > 0x10FFFF) return 0;
  }
  // A lone surrogate would corrupt the UTF-16 text.
  if (value >= 0xD800 && value <= 0xDFFF) return 0;
  return value;
}

}  // namespace

void AppendDecoded(TextView raw, Text& out) {
  out.reserve(out.size() + raw.size());
  std::size_t i = 0;
  while (i < raw.size()) {
    const std::size_t amp = raw.find(u'&', i);
    if (amp == TextView::npos) {
      out.append(raw.substr(i));
      return;
    }
    out.append(raw.substr(i, amp - i));
    char16_t folded[kMaxReferenceRead];
    std::size_t len = 0;
    bool terminated = false;
    for (std::size_t j = amp + 1; j < raw.size() && j <= amp + kMaxReferenceRead; ++j) {
      const char16_t c = raw[j];
      if (c >= 128) break;
      if (c == u';') {
        terminated = true;
        break;
      }
      folded[len++] = FoldAsciiLower(c);
    }
    std::uint32_t cp = 0;
    if (terminated) cp = ReferenceValue(TextView(folded, len), raw.substr(amp + 1, len));
    if (cp == 0) {
      out.push_back(u'&');
      i = amp + 1;
      continue;
    }
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i = amp + 1 + len + 1;
  }
}

void ApplyWhitespaceFlags(Text& value, std::int32_t documentFlags) {
  const bool collapse = (documentFlags & XmlDocument::kFlagCollapseWhitespace) != 0;
  if (!collapse && !(documentFlags & XmlDocument::kFlagTrimWhitespace)) return;
  std::size_t begin = 0, end = value.size();
  while (begin < end && IsWs(value[begin])) ++begin;
  while (end > begin && IsWs(value[end - 1])) --end;
  if (!collapse) {
    value = value.substr(begin, end - begin);
    return;
  }
  Text out;
  out.reserve(end - begin);
  for (std::size_t i = begin; i < end; ++i) {
    if (IsWs(value[i])) {
      if (out.back() != u' ') out.push_back(u' ');
    } else {
      out.push_back(value[i]);
    }
  }
  value.swap(out);
}

}  // namespace xml
}  // namespace kavrel

namespace kavrel {
namespace xml {

bool FindRawAttribute(TextView t, std::size_t pos, TextView name, bool ignoreCase,
                      TextView& value) {
  if (name.empty()) return false;
  const std::size_t n = t.size();
  for (;;) {
    while (pos < n && IsWs(t[pos])) ++pos;
    if (pos >= n) return false;
    const char16_t c = t[pos];
    if (c == u'/' || c == u'>' || c == u'?') return false;
    const std::size_t nameStart = pos;
    while (pos < n && !IsClass(t[pos], kAttrNameEnd)) ++pos;
    const TextView attrName = t.substr(nameStart, pos - nameStart);
    while (pos < n && IsWs(t[pos])) ++pos;
    TextView found = attrName;
    if (pos < n && t[pos] == u'=') {
      ++pos;
      while (pos < n && IsWs(t[pos])) ++pos;
      if (pos < n && (t[pos] == u'"' || t[pos] == u'\'')) {
        const char16_t quote = t[pos++];
        std::size_t close = t.find(quote, pos);
        if (close == TextView::npos) close = n;
        found = t.substr(pos, close - pos);
        pos = close < n ? close + 1 : n;
      } else {
        const std::size_t valueStart = pos;
        while (pos < n && !IsClass(t[pos], kUnquotedEnd)) ++pos;
        found = t.substr(valueStart, pos - valueStart);
      }
    }
    if (NameMatches(name, attrName, ignoreCase)) {
      value = found;
      return true;
    }
    if (pos == nameStart) ++pos;  // nothing consumed: step over the character
  }
}

}  // namespace xml
}  // namespace kavrel
