#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "common/platform/folder_tree.h"

namespace kavrel {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

bool IsDotName(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool DeleteTree(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return unlink(path.c_str()) == 0 || errno == ENOENT;
  bool ok = true;
  {
    std::unique_ptr<DIR, DirCloser> dir(opendir(path.c_str()));
    if (!dir) return false;
    while (const dirent* e = readdir(dir.get())) {
      if (IsDotName(e->d_name)) continue;
      if (!DeleteTree(path + "/" + e->d_name)) ok = false;
    }
  }
  return (rmdir(path.c_str()) == 0 || errno == ENOENT) && ok;
}

}  // namespace

std::vector<Text> ListSubfolders(const Text& folder) {
  std::vector<Text> names;
  const std::string base = TextToUtf8(folder);
  std::unique_ptr<DIR, DirCloser> dir(opendir(base.c_str()));
  if (!dir) return names;
  while (const dirent* e = readdir(dir.get())) {
    if (IsDotName(e->d_name)) continue;
    struct stat st;
    if (stat((base + "/" + e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      names.push_back(Utf8ToText(e->d_name));
  }
  return names;
}

bool DeleteFolderTree(const Text& folder) {
  if (folder.empty()) return false;
  return DeleteTree(TextToUtf8(folder));
}

}  // namespace kavrel
