#include "common/xml/xml_log.h"

namespace kavrel {
namespace xml {
namespace {

void AppendAscii(const char* s, Text& out) {
  while (*s) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*s++)));
}

void AppendNumber(std::int64_t value, Text& out) { AppendAscii(std::to_string(value).c_str(), out); }

void AppendAttribute(const char* name, TextView value, Text& out) {
  out.push_back(u' ');
  AppendAscii(name, out);
  out.append(u"=\"");
  AppendEscaped(value, out);
  out.push_back(u'"');
}

bool IsNameEnd(char16_t c) { return c == u' ' || c == u'/' || c == u'>' || c == u'='; }

// Index of `name` as a whole word inside [from, to), or npos.
std::size_t FindWord(const Text& log, const Text& word, std::size_t from, std::size_t to) {
  for (std::size_t at = log.find(word, from); at != Text::npos && at + word.size() <= to;
       at = log.find(word, at + 1)) {
    if (at + word.size() < log.size() && IsNameEnd(log[at + word.size()])) return at;
  }
  return Text::npos;
}

}  // namespace

void AppendEscaped(TextView value, Text& out) {
  for (char16_t c : value) {
    switch (c) {
      case u'&': out.append(u"&amp;"); break;
      case u'<': out.append(u"&lt;"); break;
      case u'>': out.append(u"&gt;"); break;
      case u'"': out.append(u"&quot;"); break;
      case u'\'': out.append(u"&apos;"); break;
      default: out.push_back(c);
    }
  }
}

void AppendLogRecord(Text& log, const LogRecord& record) {
  if (log.size() > kResultLogLimit || !record.name) return;
  log.push_back(u'<');
  AppendAscii(record.name, log);
  if (record.textName) AppendAttribute(record.textName, record.textValue, log);
  if (record.numberName) {
    log.push_back(u' ');
    AppendAscii(record.numberName, log);
    log.append(u"=\"");
    AppendNumber(record.number, log);
    log.push_back(u'"');
  }
  if (record.hasOffset2) {
    log.append(u" offset2=\"");
    AppendNumber(record.offset2, log);
    log.push_back(u'"');
  }
  log.append(u"/>");
}

bool SetFirstRecordAttribute(Text& log, const char* record, const char* attribute,
                             TextView value) {
  Text open = u"<";
  AppendAscii(record, open);
  const std::size_t at = FindWord(log, open, 0, log.size());
  if (at == Text::npos) return false;
  const std::size_t end = log.find(u"/>", at);
  if (end == Text::npos) return false;
  Text name = u" ";
  AppendAscii(attribute, name);
  const std::size_t attr = FindWord(log, name, at, end);
  Text escaped;
  AppendEscaped(value, escaped);
  if (attr != Text::npos && log.compare(attr + name.size(), 2, u"=\"") == 0) {
    const std::size_t valueStart = attr + name.size() + 2;
    const std::size_t valueEnd = log.find(u'"', valueStart);
    log.replace(valueStart, valueEnd - valueStart, escaped);
  } else {
    Text added;
    AppendAttribute(attribute, value, added);
    log.insert(at + open.size(), added);
  }
  return true;
}

Text CdataSection(TextView text) {
  Text out = u"<![CDATA[";
  std::size_t i = 0;
  for (std::size_t at = text.find(u"]]>"); at != TextView::npos; at = text.find(u"]]>", i)) {
    out.append(text.substr(i, at - i));
    out.append(u"]]]]><![CDATA[>");
    i = at + 3;
  }
  out.append(text.substr(i));
  out.append(u"]]>");
  return out;
}

}  // namespace xml
}  // namespace kavrel
