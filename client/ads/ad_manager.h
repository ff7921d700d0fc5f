// CAdManager: keeps the advertisement packages under the program folder's
// "Advertise" folder current with the service's catalogue, and asks the main
// window to show timed advertisements when their moments come.
//
// One per client run, made and freed on the user-interface thread. Its
// constructor reads the saved send list from the settings and starts two
// threads: AdFetchThread, which reads the catalogue once and updates the
// packages and settings, and AdScheduleThread, which waits until the fetch
// has finished and then checks the show moments every 5 seconds for the rest
// of the run. A failed fetch never starts the schedule.
//
// Reports go to the main window as WM_AD_READY: sent with (0, 0) after each
// side advertisement was processed, posted with pointers to the entry's show
// time and page path (valid while the manager lives) for a timed one.
//
// Freeing: the destructor asks both threads to stop and waits for them, so
// no thread outlives the manager. The fetch thread stops before its next
// request or report; one request under way finishes first (its connect
// time-outs bound the wait). The main window frees the manager after it has
// been destroyed, so a pending send to it fails at once instead of blocking.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "client/ads/ad_clock.h"
#include "client/ads/ad_entry.h"
#include "common/platform/message_target.h"
#include "common/platform/text.h"

namespace kavrel {

class SettingsFile;

// The separator of the multi-part settings values.
constexpr char16_t kAdSeparator[] = u"<EOF>";

// What the client fixes; tests change them.
struct AdManagerOptions {
  SettingsFile* settings = nullptr;  // nullptr: SettingsFile::Instance()
  Text programFolder;                // empty: ProgramFolder()
  const AdClock* clock = nullptr;    // nullptr: the system clock
  std::chrono::milliseconds scheduleInterval{5000};
};

class CAdManager {
 public:
  // `mainWindow` receives WM_AD_READY; the manager shares its ownership so
  // that it stays valid for the threads.
  CAdManager(Text serviceAddress, std::shared_ptr<MessageTarget> mainWindow,
             AdManagerOptions options = AdManagerOptions());
  ~CAdManager();
  CAdManager(const CAdManager&) = delete;
  CAdManager& operator=(const CAdManager&) = delete;

  // For tests: waits until the fetch thread has ended; true when it did in
  // time. `scheduled` tells whether the fetch went through and started the
  // schedule.
  bool WaitForFetch(std::chrono::milliseconds timeout, bool* scheduled = nullptr);

  // Copies of the lists, for tests (the current one is complete once the
  // fetch has ended).
  std::vector<AdEntry> SavedSendList() const;
  std::vector<AdEntry> CurrentSendList() const;

  // The steps of the fetch, in the order AdFetchThread runs them; each runs
  // on the fetch thread only.
  void AdFetchThread();
  void UpdateFixedAd(const Text& installedTime, const AdEntry& entry);
  void UpdateSendAds();
  void DownloadSendPackage(AdEntry& entry, const Text& folder);
  void SaveSendList();
  void PruneSendFolders();
  void AdScheduleThread();

 private:
  void LoadSavedSendList();
  bool Stopping() const;
  Text AdvertiseFolder() const;  // program folder + "Advertise"
  Text SendFolder() const;       // program folder + "Advertise" + sep + "send"
  Text RelativeToProgramFolder(const Text& path) const;

  // Fields in the order of the design; the rest serves the threads.
  std::vector<AdEntry> savedSendList_;
  std::vector<AdEntry> currentSendList_;
  std::shared_ptr<MessageTarget> mainWindow_;
  Text serviceAddress_;
  std::thread scheduleThread_;

  SettingsFile& settings_;
  Text programFolder_;
  const AdClock& clock_;
  std::chrono::milliseconds scheduleInterval_;

  mutable std::mutex mutex_;  // guards the flags below and currentSendList_
  std::condition_variable wake_;
  bool stopping_ = false;
  bool fetchDone_ = false;
  bool scheduleStarted_ = false;
  std::thread fetchThread_;
};

}  // namespace kavrel
