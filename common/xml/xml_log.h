// The writing side of the reader: result-log records and CDATA output.
//
// The result log is a run of empty elements with no separators, such as
// <lone_end_tag tagname="b" offset="12"/>. Each record has a name, at most
// one text attribute, at most one number attribute and an optional offset2.
#pragma once

#include <cstdint>

#include "common/platform/text.h"

namespace kavrel {
namespace xml {

// No record is added once the log holds more than this many characters.
constexpr std::size_t kResultLogLimit = 999;

struct LogRecord {
  const char* name = nullptr;
  const char* textName = nullptr;  // "type", "encoding", "tagname" or "msg"
  Text textValue;
  const char* numberName = nullptr;  // "n", "count", "length" or "offset"
  std::int64_t number = 0;
  bool hasOffset2 = false;
  std::int64_t offset2 = 0;
};

// Appends `record` unless the log is already over kResultLogLimit.
void AppendLogRecord(Text& log, const LogRecord& record);

// Sets attribute `attribute` of the first record named `record` to `value`
// (adding the attribute if the record lacks it). False when there is no such
// record.
bool SetFirstRecordAttribute(Text& log, const char* record, const char* attribute,
                             TextView value);

// Attribute-value escaping of & < > " and '.
void AppendEscaped(TextView value, Text& out);

// `text` as one CDATA section; every "]]>" inside is split so the section
// cannot end early.
Text CdataSection(TextView text);

}  // namespace xml
}  // namespace kavrel
