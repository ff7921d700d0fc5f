// The scenario of the service emulator: what the pretend service knows.
//
// A scenario is a JSON document (see scenarios/demo.json for every key). It
// is read once at start-up; times in it are relative to that moment
// ("remainingHours", "endInHours", "showInMinutes") so that a scenario stays
// meaningful on any day. Loading checks every value it uses and reports the
// first problem as text; nothing in a broken document can crash the loader.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kavrel::emulator {

// What a server or one of its endpoints does instead of answering normally.
enum class FaultMode {
  kNone,       // answer normally (after delayMs, if any)
  kNothing,    // read the request and close the connection without a byte
  kError,      // an HTTP 500 error page
  kMalformed,  // status 200 with a document that is not well-formed XML
  kTruncated,  // status 200 with the first half of the real answer
};

struct Fault {
  FaultMode mode = FaultMode::kNone;
  int delayMs = 0;
};

// Parses "none", "nothing", "error", "malformed", "truncated"; false for
// anything else.
bool ParseFaultMode(const std::string& name, FaultMode* mode);
const char* FaultModeName(FaultMode mode);

struct ServerSpec {
  std::string name;
  int port = 0;       // 0: any free port
  bool down = false;  // refuses connections from the start
  // Endpoint (the path without its leading slash, e.g. "pcTv.action" or
  // "update/version.xml", or "*" for every endpoint) to its fault.
  std::map<std::string, Fault> faults;
};

// One account's view of one channel, for the fee check, the pulse and the
// user channel list.
struct Entitlement {
  int status = 1;               // fee check status: 1 may watch; 2, 3, 4, 5 refusals
  int64_t remainingMs = 0;      // at start-up; counts down while the emulator runs
};

struct Account {
  std::string user;
  std::string password;
  std::string kind;  // "store" (login type 2) or "app" (login type 1)
  bool blacklisted = false;
  bool needsDeviceAuth = false;  // must sign in through pcUserAuthLogin first
  int frequency = 60000;
  int outRule = 3;
  std::string appUser, appCode, appUn;
  std::map<std::string, Entitlement> channels;  // by channel id
};

struct GuideSlot {
  std::string startTime;  // "HH:MM:SS"
  std::string title;
};

struct Channel {
  std::string id, resId, code, name, status = "1";
  int isCharge = 0;
  std::string stream;  // plain stream address, enciphered in the fee answer
  std::vector<GuideSlot> guide;  // one day's programmes, sorted by start time
};

struct Group {
  std::string id, name, classifyCode;
  int isGroup = 1;
  std::vector<std::string> channelIds;
};

struct Advertisement {
  std::string key;  // WEB_TV_AD_RIGHT, WEB_TV_AD_APP, WEB_TV_AD_POP, WEB_TV_AD_SEND
  std::string id;
  int type = 2;                 // 1: filePath is a page address; 2: a zip package
  std::string modifyTime;
  std::string url;              // type 1: the page address
  std::string folder;           // type 2: folder packed into the archive
  int64_t endInHours = 24 * 30;
  int showTime = 10;
  std::vector<int> showInMinutes;  // show moments relative to start-up
};

struct UpdateFile {
  std::string name;
  std::string productVersion;
  std::string installDir = "CURRENTDIR";
  std::string localPath;
  std::string content;  // the file's bytes (from "content" or "source")
};

struct Scenario {
  std::vector<ServerSpec> servers;
  bool refuseDevices = false;  // every handshake answers result 2
  std::vector<Account> accounts;
  std::vector<Group> groups;
  std::vector<Channel> channels;
  int guideDays = 3;  // guide from today to today + guideDays - 1; empty outside
  int pulseStatus = 0;  // status of a pulse of a signed-in device
  std::string upgradeVersion, upgradeMessage;
  int forceUpgrade = 0;
  unsigned upgradeCodePage = 949;
  std::vector<Advertisement> ads;
  int64_t statsTimeShiftMs = 0;
  int statsStatus = 200;
  std::string updateVersion;
  int updateThrottleBytesPerSec = 0;  // 0: no throttle
  std::vector<UpdateFile> updateFiles;
};

// Reads `path`; relative folders and sources are taken against the file's
// folder. False with `error` set when the file cannot be read or a value is
// missing or of the wrong kind.
bool LoadScenarioFile(const std::string& path, Scenario* scenario, std::string* error);
bool ParseScenario(const std::string& json, const std::string& baseFolder, Scenario* scenario,
                   std::string* error);

}  // namespace kavrel::emulator
