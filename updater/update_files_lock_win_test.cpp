#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "common/platform/files.h"
#include "common/platform/profile_file.h"
#include "updater/update_files.h"

namespace kavrel {
namespace {

Text Here() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  Text path = FromWide(buffer, n);
  return path.substr(0, path.find_last_of(u"\\/") + 1);
}

// A running program is replaced: its old executable can be moved to its
// backup but not deleted while it runs, so the backup is recorded under
// [deletefilepath] and deleted by the next start once the program has ended.
TEST(UpdateFilesLockTest, BackupOfARunningProgramIsDeletedAtTheNextStart) {
  const Text root = Utf8ToText(std::string(::testing::TempDir()) + "kavrel_lock_" +
                               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  ASSERT_TRUE(CreateFolder(root));
  ASSERT_TRUE(CreateFolder(root + u"\\update"));
  const Text dest = root + u"\\Runner.exe";
  ASSERT_TRUE(CopyFileW(AsWide(Here() + u"kavrel_updater_sleeper.exe"), AsWide(dest), FALSE));
  ASSERT_TRUE(WriteFileBytes(root + u"\\update\\Runner.exe", "new program"));

  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  Text commandLine = u"\"" + dest + u"\"";
  ASSERT_TRUE(CreateProcessW(AsWide(dest), AsWide(commandLine), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &si, &pi));
  Sleep(500);

  CUpdateConfig config;
  config.Load(root);
  config.serverVersion = u"2.0";
  CUpdateFiles plan(config);
  plan.LoadEntries({{{u"FileName", u"Runner.exe"}, {u"ProductVersion", u"2.0"}, {u"URL", u"http://u/Runner.exe"}}});
  ASSERT_EQ(plan.Files().size(), 1u);
  plan.Files()[0]->downloadPath = root + u"\\update\\Runner.exe";

  EXPECT_TRUE(plan.ReplaceFiles());
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(dest, bytes));
  EXPECT_EQ(bytes, "new program");
  EXPECT_TRUE(FileExists(dest + u"_bak"));
  EXPECT_EQ(GetProfileText(config.SettingsPath(), u"deletefilepath", u"file0", u""), dest + u"_bak");

  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  DeletePendingFiles(config.SettingsPath());
  EXPECT_FALSE(FileExists(dest + u"_bak"));
  EXPECT_EQ(GetProfileText(config.SettingsPath(), u"deletefilepath", u"file0", u"none"), u"none");
}

}  // namespace
}  // namespace kavrel
