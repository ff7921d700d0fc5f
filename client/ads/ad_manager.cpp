#include "client/ads/ad_manager.h"

#include <algorithm>

#include "client/ads/ad_package.h"
#include "client/ads/ad_schedule.h"
#include "client/foundation/settings_file.h"
#include "common/platform/files.h"
#include "common/platform/folder_tree.h"
#include "common/platform/http_session.h"
#include "common/platform/program_folder.h"
#include "common/xml/xml_document.h"

namespace kavrel {
namespace {

constexpr char16_t kKeyRight[] = u"WEB_TV_AD_RIGHT";
constexpr char16_t kKeyApp[] = u"WEB_TV_AD_APP";
constexpr char16_t kKeyPop[] = u"WEB_TV_AD_POP";
constexpr char16_t kKeySend[] = u"WEB_TV_AD_SEND";
constexpr char16_t kKeyAdTime[] = u"AdTime";

constexpr char16_t kCatalogueRequest[] = u"/pcAd.action?terminal=2&lang=kr";
constexpr char16_t kIndexPage[] = u"index.html";

// The sessions the manager opens for itself.
constexpr char16_t kFetchAgent[] = u"AdMng";
constexpr char16_t kFixedAgent[] = u"Kavrel";
constexpr std::uint32_t kCatalogueTimeoutMs = 500;
constexpr std::uint32_t kCatalogueRetries = 2;
constexpr std::uint32_t kFixedTimeoutMs = 500;
constexpr std::uint32_t kFixedRetries = 2;
constexpr std::uint32_t kSendTimeoutMs = 1000;
constexpr std::uint32_t kSendRetries = 1;

// The catalogue is read in blocks of this size, each kept up to its first
// zero byte.
constexpr std::size_t kBodyBlock = 1023;

constexpr int kHttpOk = 200;

std::unique_ptr<HttpSession> OpenSession(const char16_t* agent, std::uint32_t timeoutMs,
                                         std::uint32_t retries) {
  HttpSessionOptions options;
  options.agent = agent;
  options.connectTimeoutMs = timeoutMs;
  options.connectRetries = retries;
  return Http().Open(options);
}

std::string UpToZeroBytesPerBlock(const std::string& body) {
  std::string kept;
  for (std::size_t at = 0; at < body.size(); at += kBodyBlock) {
    const std::size_t size = std::min(kBodyBlock, body.size() - at);
    const std::size_t zero = body.find('\0', at);
    kept.append(body, at, zero != std::string::npos && zero < at + size ? zero - at : size);
  }
  return kept;
}

// Takes the text before the next separator out of `rest`, or all of it
// when there is none.
Text TakePart(Text& rest) {
  const std::size_t at = rest.find(kAdSeparator);
  Text part;
  if (at == Text::npos) {
    part.swap(rest);
  } else {
    part = rest.substr(0, at);
    rest.erase(0, at + std::char_traits<char16_t>::length(kAdSeparator));
  }
  return part;
}

Text InstalledTime(SettingsFile& settings, const char16_t* key) {
  const Text value = settings.ReadValue(key, true);
  const std::size_t at = value.find(kAdSeparator);
  return at == Text::npos ? Text() : value.substr(0, at);
}

// An id names a folder below "Advertise\send": it must be one plain folder
// name, so that a catalogue cannot point the download anywhere else.
bool IsSafeFolderName(const Text& id) {
  return !id.empty() && SafeEntryPath(id) == id &&
         id.find(PathSeparator()) == Text::npos;
}

// Writes the body to `zipFile` and unpacks it into `folder`; true when an
// archive was unpacked.
bool StorePackage(const std::string& body, const Text& zipFile, const Text& folder) {
  FileWriter writer;
  if (!writer.Open(zipFile)) return false;
  bool written = true;
  for (std::size_t at = 0; written && at < body.size(); at += kBodyBlock)
    written = writer.Write(body.data() + at, std::min(kBodyBlock, body.size() - at));
  if (!writer.Close() || !written) return false;
  return ExtractPackage(zipFile, folder).opened;
}

const AdClock& SystemClock() {
  static SystemAdClock* clock = new SystemAdClock;
  return *clock;
}

}  // namespace

CAdManager::CAdManager(Text serviceAddress, std::shared_ptr<MessageTarget> mainWindow,
                       AdManagerOptions options)
    : mainWindow_(std::move(mainWindow)),
      serviceAddress_(std::move(serviceAddress)),
      settings_(options.settings ? *options.settings : SettingsFile::Instance()),
      programFolder_(options.programFolder.empty() ? ProgramFolder() : options.programFolder),
      clock_(options.clock ? *options.clock : SystemClock()),
      scheduleInterval_(options.scheduleInterval) {
  if (!programFolder_.empty() && programFolder_.back() != u'\\' && programFolder_.back() != u'/')
    programFolder_ += PathSeparator();
  // The saved list is complete before the fetch thread can look at it.
  LoadSavedSendList();
  scheduleThread_ = std::thread([this] { AdScheduleThread(); });
  fetchThread_ = std::thread([this] { AdFetchThread(); });
}

CAdManager::~CAdManager() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (fetchThread_.joinable()) fetchThread_.join();
  if (scheduleThread_.joinable()) scheduleThread_.join();
}

bool CAdManager::WaitForFetch(std::chrono::milliseconds timeout, bool* scheduled) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool done = wake_.wait_for(lock, timeout, [this] { return fetchDone_; });
  if (scheduled) *scheduled = scheduleStarted_;
  return done;
}

std::vector<AdEntry> CAdManager::SavedSendList() const { return savedSendList_; }

std::vector<AdEntry> CAdManager::CurrentSendList() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return currentSendList_;
}

bool CAdManager::Stopping() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_;
}

Text CAdManager::AdvertiseFolder() const { return programFolder_ + u"Advertise"; }

Text CAdManager::SendFolder() const { return AdvertiseFolder() + PathSeparator() + u"send"; }

Text CAdManager::RelativeToProgramFolder(const Text& path) const {
  if (path.compare(0, programFolder_.size(), programFolder_) == 0)
    return path.substr(programFolder_.size());
  return path;
}

void CAdManager::LoadSavedSendList() {
  Text send = settings_.ReadValue(kKeySend, true);
  Text times = settings_.ReadValue(kKeyAdTime, true);
  while (send.find(kAdSeparator) != Text::npos) {
    AdEntry entry;
    entry.id = TakePart(send);
    entry.pagePath = TakePart(send);
    entry.modifyTime = TakePart(times);
    if (!entry.id.empty() && !entry.pagePath.empty()) savedSendList_.push_back(std::move(entry));
  }
}

void CAdManager::AdFetchThread() {
  struct Done {
    CAdManager* self;
    ~Done() {
      {
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->fetchDone_ = true;
      }
      self->wake_.notify_all();
    }
  } done{this};

  if (serviceAddress_.empty() || Stopping()) return;
  std::unique_ptr<HttpSession> session =
      OpenSession(kFetchAgent, kCatalogueTimeoutMs, kCatalogueRetries);
  const HttpResult answer = session->Get(serviceAddress_ + kCatalogueRequest, kHttpWholeBody,
                                         HttpTransfer::kText);
  // The status is not looked at: an error page simply holds no catalogue.
  if (!answer.ok) return;
  XmlDocument doc(Utf8ToText(UpToZeroBytesPerBlock(answer.body)));

  const Text installedRight = InstalledTime(settings_, kKeyRight);
  const Text installedApp = InstalledTime(settings_, kKeyApp);
  const Text installedPop = InstalledTime(settings_, kKeyPop);

  if (doc.FindElement(u"result")) {
    while (doc.FindChildElement(u"ad")) {
      if (Stopping()) return;
      AdEntry entry;
      doc.EnterElement();
      // Each search goes on after the child found before it, so a child out
      // of this order is not found.
      const struct {
        const char16_t* name;
        Text* field;
      } kFields[] = {{u"key", &entry.key},           {u"id", &entry.id},
                     {u"type", &entry.type},         {u"modifyTime", &entry.modifyTime},
                     {u"filePath", &entry.pagePath}, {u"endTime", &entry.endTime},
                     {u"showTime", &entry.showTime}};
      for (const auto& f : kFields)
        if (doc.FindChildElement(f.name)) *f.field = doc.ChildElementText();
      if (doc.FindChildElement(u"feelTimeList")) {
        doc.EnterElement();
        while (doc.FindChildElement(u"feelTime")) entry.feelTimes.push_back({0, doc.ChildElementText()});
        doc.LeaveElement();
      }
      doc.LeaveElement();

      if (entry.key == kKeyRight) {
        UpdateFixedAd(installedRight, entry);
        if (Stopping()) return;
        mainWindow_->Send(WM_AD_READY, 0, 0);
      } else if (entry.key == kKeyApp) {
        UpdateFixedAd(installedApp, entry);
      } else if (entry.key == kKeyPop) {
        UpdateFixedAd(installedPop, entry);
      } else if (entry.key == kKeySend) {
        std::lock_guard<std::mutex> lock(mutex_);
        currentSendList_.push_back(std::move(entry));
      }
    }
  }
  if (Stopping()) return;
  UpdateSendAds();
  if (Stopping()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    scheduleStarted_ = true;
  }
  wake_.notify_all();
}

void CAdManager::UpdateFixedAd(const Text& installedTime, const AdEntry& entry) {
  if (ReadAdNumber(entry.modifyTime) <= ReadAdNumber(installedTime) || Stopping()) return;
  std::unique_ptr<HttpSession> session = OpenSession(kFixedAgent, kFixedTimeoutMs, kFixedRetries);
  if (entry.type == u"1") {
    settings_.WriteValue(entry.key, entry.pagePath, false);
    return;
  }
  if (entry.type != u"2") return;
  const char16_t* name = entry.key == kKeyRight ? u"Fix" : entry.key == kKeyApp ? u"App" : u"Pop";
  const Text folder = AdvertiseFolder() + PathSeparator() + name;
  const HttpResult answer = session->Get(entry.pagePath, kHttpWholeBody, HttpTransfer::kBinary);
  if (!answer.ok || answer.statusCode != kHttpOk) return;
  // Only an archive that was really unpacked counts as installed; anything
  // else keeps the old value, so the package is fetched again next run.
  if (!StorePackage(answer.body, folder + u".zip", folder)) return;
  settings_.WriteValue(entry.key,
                       entry.modifyTime + kAdSeparator + RelativeToProgramFolder(folder) +
                           PathSeparator() + kIndexPage,
                       false);
}

void CAdManager::UpdateSendAds() {
  CreateFolder(SendFolder());
  const std::size_t count = currentSendList_.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (Stopping()) return;
    AdEntry& entry = currentSendList_[i];
    const auto saved = std::find_if(savedSendList_.begin(), savedSendList_.end(),
                                    [&](const AdEntry& s) { return s.id == entry.id; });
    // A saved entry without a time was never installed (its download failed).
    if (saved != savedSendList_.end() && !saved->modifyTime.empty() &&
        ReadAdNumber(saved->modifyTime) >= ReadAdNumber(entry.modifyTime)) {
      std::lock_guard<std::mutex> lock(mutex_);
      entry.pagePath = programFolder_ + saved->pagePath;
      continue;
    }
    if (!IsSafeFolderName(entry.id)) continue;
    const Text folder = SendFolder() + PathSeparator() + entry.id;
    CreateFolder(folder);
    DownloadSendPackage(entry, folder);
  }
  SaveSendList();
  PruneSendFolders();
}

void CAdManager::DownloadSendPackage(AdEntry& entry, const Text& folder) {
  const Text zipFile = folder + PathSeparator() + entry.id + u".zip";
  std::unique_ptr<HttpSession> session = OpenSession(kFetchAgent, kSendTimeoutMs, kSendRetries);
  const HttpResult answer = session->Get(entry.pagePath, kHttpWholeBody, HttpTransfer::kBinary);
  if (!answer.ok || answer.statusCode != kHttpOk) return;
  if (!StorePackage(answer.body, zipFile, folder)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  entry.pagePath = SendFolder() + PathSeparator() + entry.id + PathSeparator() + kIndexPage;
}

void CAdManager::SaveSendList() {
  if (currentSendList_.empty()) return;
  Text send, times;
  for (const AdEntry& entry : currentSendList_) {
    send += entry.id + kAdSeparator + RelativeToProgramFolder(entry.pagePath) + kAdSeparator;
    // An entry whose package is not on disk is saved without its time, so
    // that the next run downloads it again instead of taking the address
    // for a local page.
    const bool installed = entry.pagePath.compare(0, programFolder_.size(), programFolder_) == 0;
    times += (installed ? entry.modifyTime : Text()) + kAdSeparator;
  }
  settings_.WriteValue(kKeySend, send, false);
  settings_.WriteValue(kKeyAdTime, times, false);
}

void CAdManager::PruneSendFolders() {
  const Text sendFolder = SendFolder();
  for (const Text& name : ListSubfolders(sendFolder)) {
    const bool current = std::any_of(currentSendList_.begin(), currentSendList_.end(),
                                     [&](const AdEntry& e) { return e.id == name; });
    if (!current) DeleteFolderTree(sendFolder + PathSeparator() + name);
  }
}

void CAdManager::AdScheduleThread() {
  std::unique_lock<std::mutex> lock(mutex_);
  // Created suspended: runs only once the fetch went through.
  wake_.wait(lock, [this] { return stopping_ || scheduleStarted_; });
  while (!stopping_) {
    if (wake_.wait_for(lock, scheduleInterval_, [this] { return stopping_; })) break;
    RunSchedulePass(currentSendList_, clock_, *mainWindow_);
  }
}

}  // namespace kavrel
