// Shared pieces of the service client's tests: the fixture language file as
// the program's, a fresh settings file per test, and a fake HTTP platform.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "client/foundation/settings_file.h"
#include "common/platform/fake_http.h"
#include "common/platform/text.h"

namespace kavrel {

class ServiceTest : public ::testing::Test {
 protected:
  ServiceTest();
  ~ServiceTest() override;

  // A settings file of its own for each test.
  SettingsFile& settings() { return *settings_; }
  // The text of `key` in the fixture language file.
  static Text Lookup(const char16_t* key);

  FakeHttp http;

 private:
  Text settingsPath_;
  std::unique_ptr<SettingsFile> settings_;
};

}  // namespace kavrel
