#include "client/service/service_test_support.h"

#include <atomic>

#include "common/platform/files.h"
#include "common/platform/program_folder.h"
#include "common/text/text_table.h"

namespace kavrel {

namespace {
std::atomic<int> g_settingsCount{0};
}  // namespace

ServiceTest::ServiceTest() {
  SetProgramFolder(AsciiToText(KAVREL_SOURCE_DIR "/client/service/testdata/"));
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  settingsPath_ = AsciiToText(::testing::TempDir() + "kavrel_service_" +
                              std::string(info ? info->name() : "x") + "_" +
                              std::to_string(g_settingsCount++) + ".ini");
  DeleteFileAt(settingsPath_);
  settings_ = std::make_unique<SettingsFile>(settingsPath_);
}

ServiceTest::~ServiceTest() {
  settings_.reset();
  DeleteFileAt(settingsPath_);
  SetProgramFolder(Text());
}

Text ServiceTest::Lookup(const char16_t* key) { return TextTable::Instance().Lookup(key); }

}  // namespace kavrel
