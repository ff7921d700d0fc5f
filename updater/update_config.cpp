#include "updater/update_config.h"

#include "common/platform/code_page.h"
#include "common/platform/files.h"
#include "common/platform/profile_file.h"
#include "common/text/format.h"
#include "common/xml/xml_document.h"
#include "updater/version_order.h"

namespace kavrel {
namespace {

Text ReadValue(const Text& path, const Text& section, const Text& key) {
  Text value = GetProfileText(path, section, key, Text());
  if (value.size() > kConfigValueMax) value.resize(kConfigValueMax);
  return value;
}

Text StripFinalSeparator(Text folder) {
  while (folder.size() > 1 && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  return folder;
}

}  // namespace

void CUpdateConfig::Load(const Text& folder) {
  programFolder = StripFinalSeparator(folder);
  const Text settings = SettingsPath();
  updateInfoUrl = ReadValue(settings, kVersionSection, kUpdateInfoKey);
  serverListUrl = ReadValue(settings, kVersionSection, kServerListKey);
  installedVersion = ReadValue(settings, kVersionSection, kSoftwareVersionKey);
  serverVersion.clear();
  windowsFolder = WindowsFolder();
  systemFolder = SystemFolder();
  const Text sep(1, PathSeparator());
  updateFolder = programFolder + sep + u"update" + sep;
}

Text CUpdateConfig::SettingsPath() const {
  return programFolder + Text(1, PathSeparator()) + u"update.ini";
}

CUpdateConfig& UpdateConfig() {
  static CUpdateConfig* config = new CUpdateConfig;
  return *config;
}

bool ReadServerVersion(const Text& path, CUpdateConfig& config) {
  std::string bytes;
  ReadFileBytes(path, bytes);
  if (bytes.size() > kVersionFileBytes) bytes.resize(kVersionFileBytes);
  const size_t open = bytes.find('>');
  const size_t close = bytes.rfind('<');
  config.serverVersion.clear();
  if (open != std::string::npos && close != std::string::npos && close > open)
    config.serverVersion = BytesToText(std::string_view(bytes).substr(open + 1, close - open - 1),
                                       kCodePageAnsi);
  // An empty server version is never higher than any installed one.
  return IsVersionLower(config.installedVersion, config.serverVersion);
}

std::vector<CUpdateServer> ParseServerList(const Text& path) {
  std::vector<CUpdateServer> servers;
  XmlDocument doc;
  if (!doc.LoadFile(path)) return servers;
  // Held across the loop on purpose: see the header.
  Text name, url;
  while (doc.FindChildElement(u"Service")) {
    doc.EnterElement();
    if (doc.FindChildElement(u"Name")) name = doc.ChildElementText();
    if (doc.FindChildElement(u"UpdateXmlUrl")) url = doc.ChildElementText();
    doc.LeaveElement();
    servers.push_back({name, url});
  }
  return servers;
}

void DeletePendingFiles(const Text& settingsPath) {
  std::vector<Text> pending;
  for (int n = 0; n < kPendingDeleteKeys; ++n) {
    const Text key = Format(u"file%d", n);
    const Text path = ReadValue(settingsPath, kDeleteSection, key);
    if (path.empty()) break;
    pending.push_back(path);
    RemoveProfileKey(settingsPath, kDeleteSection, key);
  }
  int again = 0;
  for (const Text& path : pending) {
    if (!DeleteFileAt(path))
      SetProfileText(settingsPath, kDeleteSection, Format(u"file%d", again++), path);
  }
}

}  // namespace kavrel
