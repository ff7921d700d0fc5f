#include <windows.h>

#include "common/platform/folder_tree.h"

namespace kavrel {
namespace {

bool IsDotName(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

struct FindCloser {
  HANDLE handle;
  ~FindCloser() {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};

bool Gone() {
  const DWORD e = GetLastError();
  return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

bool DeleteTree(const Text& path) {
  const DWORD attributes = GetFileAttributesW(AsWide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return Gone();
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(AsWide(path), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(AsWide(path)) != 0 || Gone();
  bool ok = true;
  // A junction or folder link is removed itself, never entered.
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW data;
    FindCloser find{FindFirstFileW(AsWide(path + u"\\*"), &data)};
    if (find.handle != INVALID_HANDLE_VALUE) {
      do {
        if (IsDotName(data.cFileName)) continue;
        if (!DeleteTree(path + u"\\" + FromWide(data.cFileName))) ok = false;
      } while (FindNextFileW(find.handle, &data));
    }
  }
  return (RemoveDirectoryW(AsWide(path)) != 0 || Gone()) && ok;
}

}  // namespace

std::vector<Text> ListSubfolders(const Text& folder) {
  std::vector<Text> names;
  WIN32_FIND_DATAW data;
  FindCloser find{FindFirstFileW(AsWide(folder + u"\\*"), &data)};
  if (find.handle == INVALID_HANDLE_VALUE) return names;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotName(data.cFileName))
      names.push_back(FromWide(data.cFileName));
  } while (FindNextFileW(find.handle, &data));
  return names;
}

bool DeleteFolderTree(const Text& folder) {
  if (folder.empty()) return false;
  Text path = folder;
  while (path.size() > 1 && (path.back() == u'\\' || path.back() == u'/')) path.pop_back();
  return DeleteTree(path);
}

}  // namespace kavrel
