#include "common/platform/program_folder.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(ProgramFolderTest, IsTheExecutablesFolderWithItsSeparator) {
  const Text folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
#ifdef _WIN32
  EXPECT_EQ(folder.back(), u'\\');
#else
  EXPECT_EQ(folder.back(), u'/');
  EXPECT_EQ(folder.front(), u'/');
#endif
  SetProgramFolder(u"/tmp/install/");
  EXPECT_EQ(ProgramFolder(), u"/tmp/install/");
  SetProgramFolder(Text());
  EXPECT_EQ(ProgramFolder(), folder);
}

}  // namespace
}  // namespace kavrel
