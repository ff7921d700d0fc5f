// Any config.ini, however broken, must read and update without a crash, and
// a key just written must read back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/platform/files.h"
#include "common/platform/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavrel;
  static const Text path = Utf8ToText("/tmp/kavrel_profile_fuzz_" + std::to_string(getpid()) + ".ini");
  WriteFileBytes(path, std::string(reinterpret_cast<const char*>(data), size));
  GetProfileText(path, u"KAVREL", u"ServerUrl", u"");
  GetProfileText(path, u"", u"", u"x");
  if (!SetProfileText(path, u"KAVREL", u"ServerUrl", u"v")) std::abort();
  if (GetProfileText(path, u"KAVREL", u"ServerUrl", u"") != u"v") std::abort();
  RemoveProfileKey(path, u"KAVREL", u"ServerUrl");
  if (GetProfileText(path, u"KAVREL", u"ServerUrl", u"gone") != u"gone") std::abort();
  return 0;
}
