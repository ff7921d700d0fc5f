// The update plan: the files of an update description that are newer than
// the installed version, their download, and their replacement with backups.
//
// A CUpdateFiles is used by one thread at a time (the update thread loads and
// downloads, the replacement thread replaces; they run one after another).
// It owns its entries. It reads the folders, versions and update.ini path of
// the CUpdateConfig it was built with, which must outlive it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "common/platform/message_target.h"
#include "common/platform/text.h"
#include "updater/update_config.h"

namespace kavrel {

// One plan entry.
class CUpdateFile {
 public:
  virtual ~CUpdateFile() = default;

  std::int64_t length = 0;
  Text fileName;
  Text productVersion;
  Text installDir = u"CURRENTDIR";
  Text localPath;
  Text destinationPath;  // where the file must end up
  Text url;              // backslashes turned into forward slashes
  Text downloadPath;     // where the download was saved; empty until then
};

// One `File` element of a description: its children's names and whole text
// contents, in document order.
using DescribedFile = std::vector<std::pair<Text, Text>>;

// Reads every `File` element (name matched exactly, anywhere in the document,
// in document order). False when the document cannot be read.
using DescriptionReader = std::function<bool(const Text& path, std::vector<DescribedFile>& files)>;

// The platform's reader: the system XML DOM document on Windows,
// XmlDocument elsewhere.
bool ReadDescriptionWithPlatform(const Text& path, std::vector<DescribedFile>& files);
// The same with XmlDocument, in every build.
bool ReadDescriptionWithXmlDocument(const Text& path, std::vector<DescribedFile>& files);

class CUpdateFiles {
 public:
  explicit CUpdateFiles(const CUpdateConfig& config);
  virtual ~CUpdateFiles();
  CUpdateFiles(const CUpdateFiles&) = delete;
  CUpdateFiles& operator=(const CUpdateFiles&) = delete;

  // Replaces the plan with the wanted entries of the description at `path`.
  // True when the document could be read, even if no entry was accepted.
  bool Load(const Text& path, const DescriptionReader& reader = ReadDescriptionWithPlatform);
  // The same from a description already read.
  void LoadEntries(const std::vector<DescribedFile>& files);

  const std::vector<std::unique_ptr<CUpdateFile>>& Files() const { return files_; }
  // The sum of the entries' lengths.
  std::int64_t TotalLength() const;

  // Downloads every entry into the update folder after checking the free
  // space, reporting to `window` with the WM_UPD_ notices. Stops at the
  // first entry that fails.
  void DownloadAll(MessageTarget& window);
  // Replaces how the free space is asked for (tests); the default asks the
  // platform about the volume of the current folder.
  void SetFreeSpaceQuery(std::function<bool(std::uint64_t&)> query) { freeSpace_ = std::move(query); }

  // Moves every downloaded entry into place, keeping a "_bak" copy of each
  // file it replaces; a file that cannot be moved in gets its backup back.
  // Backups that cannot be deleted are recorded under [deletefilepath].
  // Records the server version as installed, and answers true, only when
  // every entry of the plan is in place.
  bool ReplaceFiles();

 private:
  const CUpdateConfig& config_;
  Text programFolder_, windowsFolder_, systemFolder_;
  std::vector<std::unique_ptr<CUpdateFile>> files_;
  std::function<bool(std::uint64_t&)> freeSpace_;
};

}  // namespace kavrel
