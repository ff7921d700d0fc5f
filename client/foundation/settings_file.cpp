#include "client/foundation/settings_file.h"

#include "client/foundation/settings_cipher.h"
#include "common/platform/profile_file.h"
#include "common/platform/program_folder.h"

namespace kavrel {

SettingsFile& SettingsFile::Instance() {
  static SettingsFile* instance = new SettingsFile(ProgramFolder() + kFileName);
  return *instance;
}

SettingsFile::SettingsFile(Text path) : path(std::move(path)) {}

Text SettingsFile::ReadValue(const Text& key, bool deciphered) {
  Text stored;
  {
    std::lock_guard<std::mutex> hold(lock);
    stored = GetProfileText(path, kSection, key, Text());
  }
  return deciphered ? Decipher(stored) : stored;
}

int SettingsFile::WriteValue(const Text& key, const Text& value, bool plain) {
  std::lock_guard<std::mutex> hold(lock);
  if (plain) return SetProfileText(path, kSection, key, value) ? 1 : 0;
  const Text enciphered = Encipher(value);
  // An enciphered form longer than a read returns could never be deciphered
  // again: keep the stored value instead of replacing it with a broken one.
  if (enciphered.empty() || enciphered.size() > kProfileValueMax) return 0;
  return SetProfileText(path, kSection, key, enciphered) ? 1 : 0;
}

Text SettingsFile::Encipher(const Text& text) const { return SettingsCipher::Instance().Encipher(text); }
Text SettingsFile::Decipher(const Text& text) const { return SettingsCipher::Instance().Decipher(text); }

}  // namespace kavrel
