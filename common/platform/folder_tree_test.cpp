#include "common/platform/folder_tree.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/platform/file_stamp.h"
#include "common/platform/files.h"

namespace kavrel {
namespace {

// A tree with files, a read-only file, nested and empty folders is listed one
// level deep and deleted whole; a folder that is not there counts as deleted.
TEST(FolderTreeTest, ListsAndDeletesATree) {
  const Text sep(1, PathSeparator());
  const Text root = Utf8ToText(::testing::TempDir()) + u"kavrel_folder_tree";
  DeleteFolderTree(root);
  ASSERT_TRUE(CreateFolder(root));
  for (const char16_t* f : {u"a", u"a/inner", u"a/inner/deep", u"b", u"\uCC44\uB110"})
    ASSERT_TRUE(CreateFolder(root + sep + WithNativeSeparators(Text(f))));
  ASSERT_TRUE(WriteFileBytes(root + sep + u"plain.txt", "x"));
  const Text readOnly = root + sep + WithNativeSeparators(u"a/inner/deep/ro.txt");
  ASSERT_TRUE(WriteFileBytes(readOnly, "y"));
  ASSERT_TRUE(SetFileStampAttributes(readOnly, kFileAttributeReadOnly, 0));

  std::vector<Text> names = ListSubfolders(root);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<Text>{u"a", u"b", u"\uCC44\uB110"}));

  EXPECT_TRUE(DeleteFolderTree(root + sep + u"a"));
  EXPECT_FALSE(FolderExists(root + sep + u"a"));
  EXPECT_TRUE(FileExists(root + sep + u"plain.txt"));
  EXPECT_TRUE(DeleteFolderTree(root));
  EXPECT_FALSE(FolderExists(root));
  EXPECT_TRUE(DeleteFolderTree(root));
  EXPECT_TRUE(ListSubfolders(root).empty());
}

}  // namespace
}  // namespace kavrel
