// The updater's local state: update.ini beside the program, its folders, and
// the installed and published versions.
//
// One CUpdateConfig serves the process (UpdateConfig()); it is loaded once at
// start-up, before any window exists, and only the server version changes
// afterwards (once, when the version file is read). The threads of a run use
// it one after another, so it has no lock.
#pragma once

#include <vector>

#include "common/platform/text.h"

namespace kavrel {

// update.ini sections and keys.
inline constexpr char16_t kVersionSection[] = u"version";
inline constexpr char16_t kUpdateInfoKey[] = u"updateinfo";
inline constexpr char16_t kServerListKey[] = u"UpdateServerListURL";
inline constexpr char16_t kSoftwareVersionKey[] = u"softwareversion";
inline constexpr char16_t kDeleteSection[] = u"deletefilepath";
// Keys "file0" ... "file9" are read back at start-up.
constexpr int kPendingDeleteKeys = 10;
// Values are read as into a 260-character buffer.
constexpr size_t kConfigValueMax = 259;
// Only the first bytes of the version file count.
constexpr size_t kVersionFileBytes = 50;

struct CUpdateConfig {
  Text updateInfoUrl;     // [version] updateinfo
  Text serverListUrl;     // [version] UpdateServerListURL
  Text programFolder;     // without its final separator
  Text installedVersion;  // [version] softwareversion
  Text serverVersion;     // empty until the version file was read
  Text windowsFolder;
  Text systemFolder;
  Text updateFolder;      // program folder + separator + "update" + separator

  // Reads the [version] keys of `programFolder`/update.ini and fills the
  // folders (Windows and system folder from the platform). Never fails;
  // missing values are empty.
  void Load(const Text& programFolder);
  // The path of update.ini.
  Text SettingsPath() const;
};

// The process-wide configuration, made on first use and never destroyed.
CUpdateConfig& UpdateConfig();

// Reads the version text from the downloaded version file at `path`: the
// characters after the first '>' and before the last '<' within its first
// 50 bytes, in the ANSI code page. Stores it as config.serverVersion and
// answers whether an update is due (installed version lower than it).
bool ReadServerVersion(const Text& path, CUpdateConfig& config);

// One entry of the server list.
struct CUpdateServer {
  Text Name;
  Text UpdateXmlUrl;
};

// The `Service` children of the server list's document element, in document
// order. A Service without Name (or UpdateXmlUrl) repeats the previous
// entry's value, as the list has always been read; the first entry starts
// from empty texts.
std::vector<CUpdateServer> ParseServerList(const Text& path);

// The start-up clean-up: reads [deletefilepath] file0 ... file9 of
// update.ini up to the first missing or empty key, removes those keys, and
// deletes the files. A file that still cannot be deleted is recorded again,
// from file0 on, so the next start tries once more.
void DeletePendingFiles(const Text& settingsPath);

}  // namespace kavrel
