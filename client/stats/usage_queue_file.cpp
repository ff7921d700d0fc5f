#include "client/stats/usage_queue_file.h"

#include <string>

#include "client/stats/usage_record.h"
#include "common/platform/code_page.h"
#include "common/platform/files.h"

namespace kavrel {

void LoadUnsent(const Text& file, std::vector<Text>& records) {
  if (!FileExists(file)) return;
  std::string bytes;
  if (!ReadFileBytes(file, bytes)) return;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    if (end > start) {
      Text record = BytesToText(std::string_view(bytes).substr(start, end - start), kCodePageAnsi);
      LimitRecordLength(record);
      if (!record.empty()) records.push_back(std::move(record));
    }
    start = end + 1;
  }
  DeleteFileAt(file);
}

bool SaveUnsent(const Text& file, const std::vector<Text>& records) {
  if (records.empty()) return true;
  // The seam writes whole files, so appending is reading what is there and
  // writing it back with the new lines.
  std::string bytes;
  if (FileExists(file) && !ReadFileBytes(file, bytes)) return false;
  if (!bytes.empty() && bytes.back() != '\n') bytes += '\n';
  for (const Text& record : records) {
    Text line = record;
    for (char16_t& c : line) {
      if (c == u'\n' || c == u'\r') c = u' ';
    }
    bytes += TextToBytes(line, kCodePageAnsi);
    bytes += '\n';
  }
  return WriteFileBytes(file, bytes);
}

}  // namespace kavrel
