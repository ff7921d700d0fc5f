// SettingsFile: the single gateway to the client's config.ini.
//
// Reads and writes one key of section [KAVREL] at a time through the
// profile-file seam, enciphering or deciphering with SettingsCipher when the
// caller asks. Note the opposite senses of the two flags: ReadValue(key, true)
// deciphers, WriteValue(key, value, true) writes the value unenciphered.
//
// Nothing is cached: a value written is seen by the next read. One lock per
// instance serialises the file access (the profile read only; the whole
// write, enciphering included), so the instance may be used from any thread.
#pragma once

#include <mutex>

#include "common/platform/text.h"

namespace kavrel {

class SettingsFile {
 public:
  // The process-wide instance over ProgramFolder() + "config.ini" (the folder
  // is taken once, on the first call). Made on first use, never destroyed.
  static SettingsFile& Instance();

  // An instance over another file (the settings tool, tests).
  explicit SettingsFile(Text path);
  SettingsFile(const SettingsFile&) = delete;
  SettingsFile& operator=(const SettingsFile&) = delete;

  // The key's value, at most 1,023 characters; deciphered when `deciphered`.
  // A missing file or key answers the empty text in both forms.
  Text ReadValue(const Text& key, bool deciphered);

  // Writes the value unchanged when `plain`, else its enciphered form. Answers
  // nonzero on success; 0 when the platform refuses the write, and 0 without
  // writing when the enciphered form is empty (an empty value: callers that
  // must clear a key write the empty text plain).
  int WriteValue(const Text& key, const Text& value, bool plain);

  Text Encipher(const Text& text) const;
  Text Decipher(const Text& text) const;

  const Text& Path() const { return path; }

  static constexpr char16_t kSection[] = u"KAVREL";
  static constexpr char16_t kFileName[] = u"config.ini";

 private:
  std::mutex lock;
  Text path;
};

}  // namespace kavrel
