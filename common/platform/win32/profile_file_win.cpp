#include <windows.h>

#include <vector>

#include "common/platform/profile_file.h"

namespace kavrel {

Text GetProfileText(const Text& path, const Text& section, const Text& key, const Text& fallback) {
  std::vector<wchar_t> buffer(kProfileValueMax + 1, L'\0');
  GetPrivateProfileStringW(AsWide(section), AsWide(key), AsWide(fallback), buffer.data(),
                           static_cast<DWORD>(buffer.size()), AsWide(path));
  buffer.back() = L'\0';
  return FromWide(buffer.data());
}

bool SetProfileText(const Text& path, const Text& section, const Text& key, const Text& value) {
  return WritePrivateProfileStringW(AsWide(section), AsWide(key), AsWide(value), AsWide(path)) != 0;
}

bool RemoveProfileKey(const Text& path, const Text& section, const Text& key) {
  return WritePrivateProfileStringW(AsWide(section), AsWide(key), nullptr, AsWide(path)) != 0;
}

}  // namespace kavrel
