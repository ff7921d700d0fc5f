#include "updater/path_folders.h"

#include "common/platform/files.h"

namespace kavrel {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

void CreatePathFolders(const Text& path) {
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i]) && i > 0) CreateFolder(path.substr(0, i));
  }
}

bool IsSafeFileName(TextView name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (char16_t c : name) {
    if (IsSeparator(c) || c == u':' || c < 0x20 || c == 0x7F) return false;
  }
  // Windows drops trailing dots and blanks, which would turn "..." or ". ."
  // into a climb; such names are never real file names of an update.
  const char16_t last = name.back();
  return last != u'.' && last != u' ';
}

bool IsSafeRelativePath(TextView path) {
  if (path.empty()) return true;
  if (IsSeparator(path.front())) return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const TextView part = path.substr(start, end - start);
    if (!part.empty() && !IsSafeFileName(part)) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace kavrel
