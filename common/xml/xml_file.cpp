#include "common/xml/xml_file.h"

#include <algorithm>
#include <string>

#include "common/platform/code_page.h"
#include "common/platform/files.h"
#include "common/platform/last_error.h"
#include "common/xml/xml_charsets.h"
#include "common/xml/xml_chars.h"
#include "common/xml/xml_document.h"
#include "common/xml/xml_log.h"
#include "common/xml/xml_scanner.h"

namespace kavrel {

using xml::LogRecord;

namespace {

// Only the head of a file is examined for its encoding.
constexpr std::size_t kDetectionBytes = 1024;
// The system message of a "file_error" record must fit this buffer.
constexpr std::size_t kErrorMessageBuffer = 100;
constexpr std::size_t kMaxCharsetName = 100;

struct ByteOrderMark {
  const char* bytes;
  std::size_t length;
  const char16_t* encoding;
  std::int32_t flag;
  std::size_t unitSize;
};

constexpr ByteOrderMark kByteOrderMarks[] = {
    {"\xEF\xBB\xBF", 3, u"UTF-8", XmlDocument::kFlagUtf8BomFile, 1},
    {"\xFF\xFE", 2, u"UTF-16LE", XmlDocument::kFlagUtf16LeFile, 2},
    {"\xFE\xFF", 2, u"UTF-16BE", XmlDocument::kFlagUtf16BeFile, 2},
};

void LogFileError(Text& log) {
  const unsigned long error = LastErrorNumber();
  LogRecord r;
  r.name = "file_error";
  r.textName = "msg";
  r.textValue = ErrorMessage(error, kErrorMessageBuffer);
  r.numberName = "n";
  r.number = static_cast<std::int64_t>(error);
  xml::AppendLogRecord(log, r);
}

void LogRecordOnly(Text& log, const char* name) {
  LogRecord r;
  r.name = name;
  xml::AppendLogRecord(log, r);
}

void LogWithText(Text& log, const char* name, const char* textName, TextView value,
                 const char* numberName, std::int64_t number) {
  LogRecord r;
  r.name = name;
  r.textName = textName;
  r.textValue = Text(value);
  r.numberName = numberName;
  r.number = number;
  xml::AppendLogRecord(log, r);
}

void LogCount(Text& log, const char* name, std::int64_t count) {
  LogRecord r;
  r.name = name;
  r.numberName = "count";
  r.number = count;
  xml::AppendLogRecord(log, r);
}

unsigned ConversionCodePage(TextView encoding) {
  const int cp = CodePageForCharset(encoding);
  // An unknown name, and a code page this machine cannot convert, fall back
  // to the ANSI code page rather than giving an empty document.
  if (cp <= 0 || !IsCodePageSupported(static_cast<unsigned>(cp))) return kCodePageAnsi;
  return static_cast<unsigned>(cp);
}

bool EqualsIgnoreCase(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (xml::FoldAsciiLower(a[i]) != xml::FoldAsciiLower(b[i])) return false;
  return true;
}

// The charset in a meta element's content, such as "text/html; charset=utf-8".
Text CharsetInContent(TextView content) {
  TextView names[3];
  std::size_t count = 0;
  std::size_t pos = 0;
  for (;;) {
    while (pos < content.size() && xml::IsClass(content[pos], xml::kWhitespace)) ++pos;
    if (pos >= content.size()) return Text();
    const std::size_t length = xml::NameLengthAt(content, pos);
    const TextView name = content.substr(pos, length);
    pos += length;
    if (count < 3) {
      names[count++] = name;
    } else {
      names[0] = names[1];
      names[1] = names[2];
      names[2] = name;
    }
    if (count == 3 && EqualsIgnoreCase(names[0], u"charset") && names[1] == u"=")
      return Text(names[2]);
  }
}

}  // namespace

Text FindDeclaredCharset(TextView text) {
  xml::NodeScanner scanner(text, nullptr);
  bool html = false;
  for (std::size_t pos = 0;;) {
    const xml::Node node = scanner.Next(pos);
    if (node.kind == xml::kNodeEndOfText || node.kind == xml::kNodeError) break;
    pos = node.start + node.length;
    if (node.kind == xml::kNodeProcessingInstruction) {
      const std::size_t nameStart = node.start + 2;
      const TextView name = text.substr(nameStart, xml::NameLengthAt(text, nameStart));
      if (node.start == 0 && xml::NameMatches(u"xml", name, true)) {
        TextView value;
        if (xml::FindRawAttribute(text, nameStart + name.size(), u"encoding", true, value))
          return Text(value);
        return Text();
      }
    } else if (node.kind == xml::kNodeEndTag) {
      const std::size_t nameStart = node.start + 2;
      if (xml::NameMatches(u"head", text.substr(nameStart, xml::NameLengthAt(text, nameStart)), true))
        break;
    } else if (node.kind == xml::kNodeElement) {
      const std::size_t nameStart = node.start + 1;
      const TextView name = text.substr(nameStart, xml::NameLengthAt(text, nameStart));
      const std::size_t afterName = nameStart + name.size();
      if (!html) {
        if (!xml::NameMatches(u"html", name, true)) break;
        html = true;
      } else if (xml::NameMatches(u"meta", name, true)) {
        TextView httpEquiv;
        if (xml::FindRawAttribute(text, afterName, u"http-equiv", true, httpEquiv) &&
            EqualsIgnoreCase(httpEquiv, u"Content-Type")) {
          TextView content;
          if (xml::FindRawAttribute(text, afterName, u"content", true, content))
            return CharsetInContent(content);
          break;
        }
      }
    }
  }
  return Text();
}

bool LooksLikeUtf8(const char* bytes, std::size_t length, bool* cutByEnd) {
  if (cutByEnd) *cutByEnd = false;
  std::size_t i = 0;
  while (i < length && bytes[i] != 0) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i++]);
    if (lead < 0x80) continue;
    std::size_t more;
    if (!(lead & 0x20)) more = 1;
    else if (!(lead & 0x10)) more = 2;
    else if (!(lead & 0x08)) more = 3;
    else return false;
    for (; more > 0; --more, ++i) {
      if (i >= length || bytes[i] == 0) {
        if (cutByEnd) *cutByEnd = i >= length;
        return false;
      }
      if (static_cast<unsigned char>(bytes[i]) < 0x80) return false;
    }
  }
  return true;
}

int CodePageForCharset(TextView name) {
  if (name.empty()) return 0;
  if (name.substr(0, 6) == u"UTF-32") return kCodePageUtf32;
  if (name.size() >= kMaxCharsetName) return -1;
  char folded[kMaxCharsetName];
  unsigned sum = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = xml::FoldAsciiLower(name[i]);
    if (c >= 128) return -1;  // the table holds ASCII names only
    folded[i] = static_cast<char>(c);
    sum += c;
  }
  for (const char* p = xml::kCharsetTable[sum % xml::kCharsetBuckets]; *p;) {
    const std::size_t length = static_cast<std::size_t>((p[0] - '0') * 10 + (p[1] - '0'));
    const int codePage = std::stoi(std::string(p + 2, 5));
    const char* entry = p + 7;
    p = entry + length;
    if (length == name.size() && std::equal(entry, entry + length, folded)) return codePage;
  }
  return -1;
}

bool ReadDocumentFile(const Text& path, std::int32_t& flags, Text& text, Text& log) {
  text.clear();
  flags |= XmlDocument::kFlagReadingFile;
  const auto finish = [&flags](bool result) {
    flags &= ~XmlDocument::kFlagReadingFile;
    return result;
  };

  std::string bytes;
  if (!ReadFileBytes(path, bytes)) {
    LogFileError(log);
    return finish(false);
  }

  Text encoding;
  std::size_t unitSize = 1;
  std::size_t consumed = 0;
  if (!bytes.empty()) {
    const std::size_t head = std::min(bytes.size(), kDetectionBytes);
    // The mark flags describe this file only; one left from an earlier read
    // (the big-endian one included) would misread the file.
    flags &= ~(XmlDocument::kFlagUtf16LeFile | XmlDocument::kFlagUtf8BomFile |
               XmlDocument::kFlagUtf16BeFile);
    const ByteOrderMark* mark = nullptr;
    for (const ByteOrderMark& m : kByteOrderMarks) {
      if (head >= m.length && bytes.compare(0, m.length, m.bytes) == 0) {
        mark = &m;
        break;
      }
    }
    if (mark) {
      flags |= mark->flag;
      encoding = mark->encoding;
      unitSize = mark->unitSize;
      consumed = mark->length;
      LogRecordOnly(log, "bom");
    } else {
      encoding = FindDeclaredCharset(BytesToText(std::string_view(bytes.data(), head), kCodePageUtf8));
      if (encoding.empty() && bytes[0] == '<') encoding = u"UTF-8";
    }
  }

  const std::size_t toRead = bytes.size() - consumed;
  if (toRead == 0) {
    LogWithText(log, "read", "encoding", encoding, "length", 0);
    return finish(true);
  }

  if (unitSize == 2) {
    const std::size_t units = toRead / 2;
    LogWithText(log, "read", "encoding", encoding, "length", static_cast<std::int64_t>(units));
    text.reserve(units);
    std::size_t removed = 0;
    for (std::size_t i = 0; i < units; ++i) {
      const unsigned char b0 = static_cast<unsigned char>(bytes[consumed + 2 * i]);
      const unsigned char b1 = static_cast<unsigned char>(bytes[consumed + 2 * i + 1]);
      const char16_t unit = static_cast<char16_t>(b0 | (b1 << 8));
      if (unit == 0) {
        ++removed;
        continue;
      }
      text.push_back(unit);
    }
    if (removed) LogCount(log, "nulls_removed", static_cast<std::int64_t>(removed));
    if (flags & XmlDocument::kFlagUtf16BeFile) {
      for (char16_t& c : text) c = static_cast<char16_t>((c >> 8) | (c << 8));
      LogRecordOnly(log, "endian_swap");
    }
    return finish(true);
  }

  LogWithText(log, "read", "encoding", encoding, "length", static_cast<std::int64_t>(toRead));
  std::string body = bytes.substr(consumed);
  bytes.clear();
  const std::size_t before = body.size();
  body.erase(std::remove(body.begin(), body.end(), '\0'), body.end());
  if (body.size() != before) LogCount(log, "nulls_removed", static_cast<std::int64_t>(before - body.size()));
  if (encoding.empty()) {
    if (LooksLikeUtf8(body.data(), body.size())) {
      encoding = u"UTF-8";
      xml::SetFirstRecordAttribute(log, "read", "encoding", encoding);
    }
    LogRecordOnly(log, "utf8_detection");
  }
  text = BytesToText(body, ConversionCodePage(encoding));
  LogWithText(log, "converted_to", "encoding", u"UTF-16", "length", static_cast<std::int64_t>(text.size()));
  return finish(true);
}

}  // namespace kavrel
