#include "updater/update_files.h"

#include "common/platform/files.h"
#include "common/platform/profile_file.h"
#include "common/text/format.h"
#include "updater/path_folders.h"
#include "updater/update_download.h"
#include "updater/update_notices.h"
#include "updater/version_order.h"

namespace kavrel {
namespace {

bool EqualsIgnoringCase(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// Decimal text as a signed 64-bit number: leading blanks and a sign allowed,
// reading stops at the first non-digit, no digits gives 0, overflow clamps.
std::int64_t ParseLength(TextView text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' ||
                             text[i] == u'\n'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  std::uint64_t value = 0;
  const std::uint64_t limit = static_cast<std::uint64_t>(INT64_MAX);
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > limit) {
      value = limit;
      break;
    }
  }
  return negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
}

Text JoinPath(const Text& folder, const Text& localPath, const Text& name) {
  const Text sep(1, PathSeparator());
  if (localPath.empty()) return folder + sep + name;
  return folder + sep + WithNativeSeparators(localPath) + sep + name;
}

// The first n whose [deletefilepath] "file%d" key is free, so a replacement
// never overwrites paths that the start-up clean-up recorded again.
int FirstFreePendingKey(const Text& settings) {
  int n = 0;
  while (n < 1000 && !GetProfileText(settings, kDeleteSection, Format(u"file%d", n), Text()).empty())
    ++n;
  return n;
}

}  // namespace

CUpdateFiles::CUpdateFiles(const CUpdateConfig& config)
    : config_(config),
      programFolder_(config.programFolder),
      windowsFolder_(config.windowsFolder),
      systemFolder_(config.systemFolder) {}

CUpdateFiles::~CUpdateFiles() = default;

bool CUpdateFiles::Load(const Text& path, const DescriptionReader& reader) {
  files_.clear();
  std::vector<DescribedFile> described;
  if (!reader || !reader(path, described)) return false;
  LoadEntries(described);
  return true;
}

void CUpdateFiles::LoadEntries(const std::vector<DescribedFile>& described) {
  files_.clear();
  for (const DescribedFile& children : described) {
    auto file = std::make_unique<CUpdateFile>();
    for (const auto& [name, value] : children) {
      if (EqualsIgnoringCase(name, u"FileName")) file->fileName = value;
      else if (EqualsIgnoringCase(name, u"ProductVersion")) file->productVersion = value;
      else if (EqualsIgnoringCase(name, u"Length")) file->length = ParseLength(value);
      else if (EqualsIgnoringCase(name, u"InstallDir")) file->installDir = value;
      else if (EqualsIgnoringCase(name, u"LocalPath")) file->localPath = value;
      else if (EqualsIgnoringCase(name, u"URL")) file->url = value;
    }
    const Text* folder = nullptr;
    if (EqualsIgnoringCase(file->installDir, u"WINDOWSDIR")) folder = &windowsFolder_;
    else if (EqualsIgnoringCase(file->installDir, u"SYSTEMDIR")) folder = &systemFolder_;
    else if (EqualsIgnoringCase(file->installDir, u"CURRENTDIR")) folder = &programFolder_;
    if (folder && !folder->empty())
      file->destinationPath = JoinPath(*folder, file->localPath, file->fileName);

    // Names that could leave their folder are refused, and so is an entry
    // that has nowhere to go: it could never be put in place.
    if (!IsSafeFileName(file->fileName) || !IsSafeRelativePath(file->localPath) ||
        file->destinationPath.empty())
      continue;
    if (!IsVersionLower(config_.installedVersion, file->productVersion)) continue;
    bool duplicate = false;
    for (const auto& kept : files_) {
      if (EqualsIgnoringCase(kept->url, file->url)) {
        duplicate = true;
        break;
      }
    }
    if (duplicate) continue;
    for (char16_t& c : file->url)
      if (c == u'\\') c = u'/';
    files_.push_back(std::move(file));
  }
}

std::int64_t CUpdateFiles::TotalLength() const {
  std::int64_t total = 0;
  for (const auto& file : files_) total += file->length;
  return total;
}

void CUpdateFiles::DownloadAll(MessageTarget& window) {
  const std::int64_t total = TotalLength();
  std::uint64_t free = 0;
  const bool known = freeSpace_ ? freeSpace_(free) : AvailableDiskSpace(Text(), free);
  if (!known || (total > 0 && free < static_cast<std::uint64_t>(total))) {
    window.Post(WM_UPD_NEED_SPACE, 0, 0);
    return;
  }
  const std::uintptr_t count = files_.size();
  window.Post(WM_UPD_PLAN_READY, count,
              static_cast<std::intptr_t>(static_cast<std::uint32_t>(total)));

  std::uintptr_t downloaded = 0;
  for (const auto& file : files_) {
    SetCurrentFileName(file->fileName);
    window.Post(WM_UPD_FILE_START, downloaded, static_cast<std::intptr_t>(count));
    CUpdateDownload download(file->url);
    // The name comes from the address; one that would leave the update
    // folder is refused like a failed request (and so is a run without an
    // update folder, which would put the file at the root).
    if (!IsSafeFileName(download.FileName()) || config_.updateFolder.empty()) {
      if (window.Exists()) window.Post(WM_UPD_FAILED, 0, 0);
      break;
    }
    download.SetLocalPath(JoinPath(config_.updateFolder.substr(0, config_.updateFolder.size() - 1),
                                   file->localPath, download.FileName()));
    download.SetNotifyWindow(&window);
    download.ConnectAndSend();
    file->downloadPath = download.LocalPath();
    if (!download.ReceiveToFile()) break;
    ++downloaded;
  }
  window.Post(WM_UPD_DOWNLOADS_DONE, downloaded, static_cast<std::intptr_t>(count));
}

bool CUpdateFiles::ReplaceFiles() {
  struct Step {
    bool backedUp = false;  // the old file is at destination + "_bak"
    bool listed = false;    // that backup is to be deleted afterwards
  };
  std::vector<Step> steps(files_.size());

  // 1. Back up every file that will be replaced.
  for (size_t i = 0; i < files_.size(); ++i) {
    const Text& dest = files_[i]->destinationPath;
    if (dest.empty() || !FileExists(dest)) continue;
    const Text backup = dest + u"_bak";
    if (MoveFileTo(dest, backup)) {
      steps[i].backedUp = steps[i].listed = true;
      continue;
    }
    // Typically a stale backup is in the way. The backup made now stays on
    // disk: it is not put on the clean-up list.
    DeleteFileAt(backup);
    steps[i].backedUp = MoveFileTo(dest, backup);
  }

  // 2. Move the downloads in; a file that cannot be moved in gets its old
  // copy back, so the installation never loses it.
  bool allInPlace = true;
  for (size_t i = 0; i < files_.size(); ++i) {
    const CUpdateFile& file = *files_[i];
    bool moved = MoveFileTo(file.downloadPath, file.destinationPath);
    if (!moved) {
      CreatePathFolders(file.destinationPath);
      moved = MoveFileTo(file.downloadPath, file.destinationPath);
    }
    if (moved) continue;
    allInPlace = false;
    if (steps[i].backedUp && MoveFileTo(file.destinationPath + u"_bak", file.destinationPath)) {
      steps[i].backedUp = steps[i].listed = false;
    }
  }

  // 3. Delete the backups; one still in use is recorded for the next start.
  const Text settings = config_.SettingsPath();
  int pending = FirstFreePendingKey(settings);
  for (size_t i = 0; i < files_.size(); ++i) {
    if (!steps[i].listed) continue;
    const Text backup = files_[i]->destinationPath + u"_bak";
    if (!DeleteFileAt(backup))
      SetProfileText(settings, kDeleteSection, Format(u"file%d", pending++), backup);
  }

  // 4. The new version counts as installed only when all of it is in place;
  // otherwise the next run tries again.
  if (allInPlace) SetProfileText(settings, kVersionSection, kSoftwareVersionKey, config_.serverVersion);
  return allInPlace;
}

}  // namespace kavrel
