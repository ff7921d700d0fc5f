#include "tools/service-emulator/service.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <limits>

#include "client/foundation/stream_cipher.h"
#include "common/platform/code_page.h"
#include "common/platform/text.h"
#include "tools/service-emulator/stats_decoding.h"
#include "tools/service-emulator/zip_package.h"

namespace kavrel::emulator {
namespace {

// The client reads every number of an answer as a 32-bit signed integer,
// so remaining times beyond about 24 days are sent as the largest one.
int64_t Clamp32(int64_t v) {
  return std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                             std::numeric_limits<int32_t>::max());
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Element(const char* name, const std::string& value) {
  return std::string("<") + name + ">" + Escape(value) + "</" + name + ">";
}

std::string Element(const char* name, int64_t value) {
  return Element(name, std::to_string(value));
}

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

ServiceAnswer Xml(const std::string& root, const std::string& children) {
  ServiceAnswer a;
  a.body = std::string(kDeclaration) + "<" + root + ">" + children + "</" + root + ">";
  return a;
}

std::string Param(const ServiceRequest& r, const char* name) {
  auto it = r.params.find(name);
  return it == r.params.end() ? std::string() : it->second;
}

std::tm LocalTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::string FormatTime(const char* format, const std::tm& tm) {
  char buffer[64];
  size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
  return std::string(buffer, n);
}

// Days since 1970-01-01 of a calendar date, whatever the time zone.
bool DayNumber(int year, int month, int day, int64_t* number) {
  if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1900 || year > 9999) return false;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  std::time_t t = timegm(&tm);
  if (tm.tm_mday != day) return false;  // 31 April and the like
  *number = static_cast<int64_t>(t) / 86400;
  return true;
}

bool ParseDate(const std::string& text, int* y, int* m, int* d) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[i] < '0' || text[i] > '9') return false;
  *y = std::stoi(text.substr(0, 4));
  *m = std::stoi(text.substr(5, 2));
  *d = std::stoi(text.substr(8, 2));
  return true;
}

// The handshake's acknowledgement: b as 8 hexadecimal digits, "0001", and
// b + 1 as 16 digits, b below 255.
bool IsValidAck(const std::string& ack) {
  if (ack.size() != 28 || ack.compare(8, 4, "0001") != 0) return false;
  if (ack.find_first_not_of("0123456789abcdef") != std::string::npos) return false;
  unsigned long long b = std::stoull(ack.substr(0, 8), nullptr, 16);
  unsigned long long next = std::stoull(ack.substr(12), nullptr, 16);
  return b < 255 && next == b + 1;
}

std::string PercentEscapePath(const std::string& s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

Service::Service(Scenario scenario, Clock::time_point start)
    : scenario_(std::move(scenario)), start_(start) {}

bool Service::Prepare(std::string* error) {
  for (const Advertisement& ad : scenario_.ads) {
    if (ad.type != 2) continue;
    std::string archive;
    if (!BuildZipPackage(ad.folder, &archive, error)) {
      *error = "advertisement " + ad.id + ": " + *error;
      return false;
    }
    packages_[ad.id] = std::move(archive);
  }
  for (const Channel& c : scenario_.channels) {
    // The client deciphers at most 128 hexadecimal digits: 64 bytes, the
    // last of them the terminating zero.
    if (TextToBytes(Utf8ToText(c.stream), kCodePageAnsi).size() > 63) {
      *error = "channel " + c.id + ": the stream address is longer than 63 bytes";
      return false;
    }
  }
  return true;
}

void Service::SetServerList(std::vector<std::pair<std::string, std::string>> nameAndBase) {
  std::lock_guard<std::mutex> lock(mutex_);
  serverList_ = std::move(nameAndBase);
}

std::optional<ServiceAnswer> Service::Handle(const ServiceRequest& r) {
  const std::string& e = r.endpoint;
  if (e == "pcAuth.action") return Auth(r);
  if (e == "pcTv.action") return Catalogue(r);
  if (e == "pcUserLogin.action") return Login(r, false);
  if (e == "pcUserAuthLogin.action") return Login(r, true);
  if (e == "pcUserLogout.action") return Logout(r);
  if (e == "pcPluse.action") return Pulse(r);
  if (e == "pcFeeAuth.action") return FeeCheck(r);
  if (e == "pcTvNotice.action") return Guide(r);
  if (e == "pcUpgrade.action") return Upgrade(r);
  if (e == "pcUserTv.action") return UserChannels(r);
  if (e == "pcAd.action") return Ads(r);
  if (e == "getTime") return GetTime(r);
  if (e == "collected" && r.method == "POST") return Collected(r);
  if (e == "update/version.xml") {
    ServiceAnswer a;
    // No declaration: the updater takes the text between the first ">"
    // and the last "<" of the first 50 bytes.
    a.body = "<version>" + scenario_.updateVersion + "</version>";
    return a;
  }
  if (e == "update/servers.xml") return UpdateServerList(r);
  if (e == "update/update.xml") return UpdateDescription(r);
  if (e.rfind("update/files/", 0) == 0) return ServeUpdateFile(e);
  if (e.rfind("ads/", 0) == 0) return Package(e);
  return std::nullopt;
}

ServiceAnswer Service::Auth(const ServiceRequest& r) {
  std::string ack = Param(r, "ack");
  if (scenario_.refuseDevices) return Xml("auth", Element("result", 2));
  if (!IsValidAck(ack)) return Xml("auth", Element("result", 0));
  std::lock_guard<std::mutex> lock(mutex_);
  char uuid[40];
  std::snprintf(uuid, sizeof uuid, "emu-%08llx-%s", static_cast<unsigned long long>(nextUuid_++),
                ack.substr(6, 2).c_str());
  devices_[uuid];
  return Xml("auth", Element("result", 1) + Element("uuid", uuid));
}

ServiceAnswer Service::Catalogue(const ServiceRequest& r) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!devices_.count(Param(r, "uuid"))) return Xml("result", Element("status", 0));
  }
  std::string groups;
  for (const Group& g : scenario_.groups) {
    groups += "<group name=\"" + Escape(g.name) + "\" id=\"" + Escape(g.id) + "\" isGroup=\"" +
              std::to_string(g.isGroup) + "\" classifyCode=\"" + Escape(g.classifyCode) + "\">";
    for (const std::string& id : g.channelIds) {
      auto c = std::find_if(scenario_.channels.begin(), scenario_.channels.end(),
                            [&](const Channel& ch) { return ch.id == id; });
      groups += "<channel>" + Element("id", c->id) + Element("resId", c->resId) +
                Element("code", c->code) + Element("name", c->name) +
                Element("status", c->status) + Element("isCharge", c->isCharge) + "</channel>";
    }
    groups += "</group>";
  }
  ServiceAnswer a;
  a.body = std::string(kDeclaration) + "<groups>" + groups + "</groups>";
  return a;
}

ServiceAnswer Service::Login(const ServiceRequest& r, bool deviceAuthorised) {
  const std::string user = Param(r, "um"), password = Param(r, "pwd"), uuid = Param(r, "uuid");
  const std::string type = deviceAuthorised ? "2" : Param(r, "type");
  auto status = [](int s) { return Xml("result", Element("status", s)); };
  if (user.empty() || password.empty() || (type != "1" && type != "2")) return status(-7);

  std::lock_guard<std::mutex> lock(mutex_);
  auto device = devices_.find(uuid);
  if (device == devices_.end()) return status(-5);
  auto account = std::find_if(scenario_.accounts.begin(), scenario_.accounts.end(),
                              [&](const Account& a) { return a.user == user; });
  if (account == scenario_.accounts.end()) return status(-3);
  if (!deviceAuthorised && (account->kind == "store") != (type == "2")) return status(-3);
  if (account->password != password) return status(-1);
  if (account->blacklisted) return status(-4);
  if (!deviceAuthorised && account->needsDeviceAuth &&
      !device->second.authorisedUsers.count(user))
    return status(-6);
  // Signed in on another device: refused, unless the client presents that
  // device's uuid as its last login code (a client that was not logged out).
  for (auto& [otherUuid, other] : devices_) {
    if (otherUuid != uuid && other.signedInUser == user) {
      if (deviceAuthorised || Param(r, "loginCode") != otherUuid) return status(-2);
      other.signedInUser.clear();
    }
  }
  if (deviceAuthorised) device->second.authorisedUsers.insert(user);
  device->second.signedInUser = user;
  return Xml("result", Element("status", 1) + Element("frequency", account->frequency) +
                           Element("outRule", account->outRule) +
                           Element("appUser", account->appUser) +
                           Element("appCode", account->appCode) + Element("appUn", account->appUn));
}

ServiceAnswer Service::Logout(const ServiceRequest& r) {
  const std::string user = Param(r, "um"), uuid = Param(r, "uuid");
  if (user.empty() || uuid.empty()) return Xml("result", Element("status", -1));
  std::lock_guard<std::mutex> lock(mutex_);
  auto device = devices_.find(uuid);
  if (device == devices_.end() || device->second.signedInUser != user)
    return Xml("result", Element("status", 2));
  device->second.signedInUser.clear();
  return Xml("result", Element("status", 1));
}

ServiceAnswer Service::Pulse(const ServiceRequest& r) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Account* account = SignedInAccount(Param(r, "uuid"));
  if (!account) return Xml("result", Element("status", 1) + Element("time", 0));
  int64_t remaining = 0;
  if (const Channel* c = FindChannelByCode(Param(r, "tvcode"))) {
    auto e = account->channels.find(c->id);
    if (e != account->channels.end()) remaining = std::max<int64_t>(0, RemainingMs(e->second));
  }
  return Xml("result", Element("status", scenario_.pulseStatus) + Element("time", Clamp32(remaining)));
}

ServiceAnswer Service::FeeCheck(const ServiceRequest& r) {
  auto refuse = [](int s) { return Xml("result", Element("status", s)); };
  std::lock_guard<std::mutex> lock(mutex_);
  const Account* account = SignedInAccount(Param(r, "uuid"));
  if (!account) return refuse(4);
  const Channel* c = FindChannel(Param(r, "tvid"), Param(r, "resid"));
  if (!c) return refuse(3);
  std::string url = TextToUtf8(EncodeStreamAddress(Utf8ToText(c->stream)));
  if (!c->isCharge) return Xml("result", Element("status", 1) + Element("url", url) + Element("time", 0));
  auto e = account->channels.find(c->id);
  if (e == account->channels.end()) return refuse(2);
  if (e->second.status != 1) return refuse(e->second.status);
  int64_t remaining = RemainingMs(e->second);
  if (remaining <= 0) return refuse(5);  // the paid period has ended
  return Xml("result", Element("status", 1) + Element("url", url) + Element("time", Clamp32(remaining)));
}

ServiceAnswer Service::Guide(const ServiceRequest& r) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!devices_.count(Param(r, "uuid"))) return Xml("result", "");
  }
  int y, m, d;
  int64_t requested, today;
  std::tm now = LocalTime(Clock::to_time_t(Clock::now()));
  if (!ParseDate(Param(r, "startDate"), &y, &m, &d) || !DayNumber(y, m, d, &requested) ||
      !DayNumber(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, &today) ||
      requested < today || requested >= today + scenario_.guideDays)
    return Xml("result", "");
  char date[16], next[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, d);
  std::time_t nextDay = static_cast<std::time_t>(requested + 1) * 86400;
  std::tm nt{};
  gmtime_r(&nextDay, &nt);
  std::snprintf(next, sizeof next, "%04d-%02d-%02d", nt.tm_year + 1900, nt.tm_mon + 1, nt.tm_mday);

  std::string tvs;
  for (const Channel& c : scenario_.channels) {
    if (c.guide.empty()) continue;
    tvs += "<tv>" + Element("tvId", c.id) + Element("resId", c.resId) + Element("tvName", c.name);
    for (size_t i = 0; i < c.guide.size(); ++i) {
      bool last = i + 1 == c.guide.size();
      std::string end = last ? std::string(next) + " 00:00:00"
                             : std::string(date) + " " + c.guide[i + 1].startTime;
      tvs += "<tvItem>" + Element("title", c.guide[i].title) +
             Element("startDate", std::string(date) + " " + c.guide[i].startTime) +
             Element("endDate", end) + Element("startTime", c.guide[i].startTime) + "</tvItem>";
    }
    tvs += "</tv>";
  }
  return Xml("result", tvs);
}

ServiceAnswer Service::Upgrade(const ServiceRequest&) {
  std::string xml = "<result>" + Element("version", scenario_.upgradeVersion) +
                    Element("upgradeMsg", scenario_.upgradeMessage) +
                    Element("forceUpgrade", scenario_.forceUpgrade) + "</result>";
  ServiceAnswer a;
  // The client reads this answer in its ANSI code page, not in UTF-8.
  a.body = TextToBytes(Utf8ToText(xml), scenario_.upgradeCodePage);
  a.contentType = "text/xml";
  return a;
}

ServiceAnswer Service::UserChannels(const ServiceRequest& r) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Account* account = SignedInAccount(Param(r, "uuid"));
  if (!account) return Xml("result", "");
  std::string tvs;
  for (const Channel& c : scenario_.channels) {
    auto e = account->channels.find(c.id);
    if (c.isCharge && e == account->channels.end()) continue;
    int64_t time = c.isCharge ? Clamp32(std::max<int64_t>(0, RemainingMs(e->second))) : 0;
    tvs += "<tv>" + Element("name", c.name) + Element("isCharge", c.isCharge) +
           Element("time", time) + "</tv>";
  }
  return Xml("result", tvs);
}

ServiceAnswer Service::Ads(const ServiceRequest& r) {
  std::string ads;
  std::time_t start = Clock::to_time_t(start_);
  for (const Advertisement& ad : scenario_.ads) {
    std::string path = ad.type == 2 ? "http://" + r.host + "/ads/" + ad.id + ".zip" : ad.url;
    std::string moments;
    for (int minutes : ad.showInMinutes)
      moments += Element("feelTime", FormatTime("%Y-%m-%d %H:%M", LocalTime(start + minutes * 60)));
    ads += "<ad>" + Element("key", ad.key) + Element("id", ad.id) + Element("type", ad.type) +
           Element("modifyTime", ad.modifyTime) + Element("filePath", path) +
           Element("endTime", static_cast<int64_t>(start) + ad.endInHours * 3600) +
           Element("showTime", ad.showTime) + "<feelTimeList>" + moments + "</feelTimeList></ad>";
  }
  return Xml("result", ads);
}

ServiceAnswer Service::GetTime(const ServiceRequest&) {
  ServiceAnswer a;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
  a.body = std::to_string(ms.count() + scenario_.statsTimeShiftMs);
  a.contentType = "text/plain";
  return a;
}

ServiceAnswer Service::Collected(const ServiceRequest& r) {
  ServiceAnswer a;
  a.status = scenario_.statsStatus;
  a.contentType = "text/plain";
  a.body = a.status == 200 ? "ok" : "error";
  std::string error;
  if (auto records = DecodeCollected(r.body, &error)) {
    a.records = std::move(*records);
  } else {
    a.decodeError = error;
  }
  return a;
}

ServiceAnswer Service::UpdateServerList(const ServiceRequest&) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string services;
  for (const auto& [name, base] : serverList_)
    services += "<Service>" + Element("Name", name) +
                Element("UpdateXmlUrl", base + "/update/update.xml") + "</Service>";
  return Xml("UpdateServers", services);
}

ServiceAnswer Service::UpdateDescription(const ServiceRequest& r) {
  std::string files;
  for (size_t i = 0; i < scenario_.updateFiles.size(); ++i) {
    const UpdateFile& f = scenario_.updateFiles[i];
    std::string url = "http://" + r.host + "/update/files/" + std::to_string(i) + "/" +
                      PercentEscapePath(f.name);
    files += "<File>" + Element("FileName", f.name) + Element("ProductVersion", f.productVersion) +
             Element("Length", static_cast<int64_t>(f.content.size())) +
             Element("InstallDir", f.installDir) + Element("LocalPath", f.localPath) +
             Element("URL", url) + "</File>";
  }
  return Xml("Update", files);
}

std::optional<ServiceAnswer> Service::ServeUpdateFile(const std::string& endpoint) {
  // "update/files/<index>/<name>"
  std::string rest = endpoint.substr(13);
  size_t slash = rest.find('/');
  if (slash == std::string::npos || slash == 0 ||
      rest.find_first_not_of("0123456789") != slash || slash > 6)
    return std::nullopt;
  size_t index = std::stoul(rest.substr(0, slash));
  if (index >= scenario_.updateFiles.size() ||
      rest.substr(slash + 1) != scenario_.updateFiles[index].name)
    return std::nullopt;
  ServiceAnswer a;
  a.body = scenario_.updateFiles[index].content;
  a.contentType = "application/octet-stream";
  a.throttleBytesPerSec = scenario_.updateThrottleBytesPerSec;
  return a;
}

std::optional<ServiceAnswer> Service::Package(const std::string& endpoint) {
  std::string name = endpoint.substr(4);
  if (name.size() < 5 || name.compare(name.size() - 4, 4, ".zip") != 0) return std::nullopt;
  auto it = packages_.find(name.substr(0, name.size() - 4));
  if (it == packages_.end()) return std::nullopt;
  ServiceAnswer a;
  a.body = it->second;
  a.contentType = "application/zip";
  return a;
}

const Account* Service::SignedInAccount(const std::string& uuid) const {
  auto device = devices_.find(uuid);
  if (device == devices_.end() || device->second.signedInUser.empty()) return nullptr;
  for (const Account& a : scenario_.accounts)
    if (a.user == device->second.signedInUser) return &a;
  return nullptr;
}

int64_t Service::RemainingMs(const Entitlement& e) const {
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_);
  return e.remainingMs - elapsed.count();
}

const Channel* Service::FindChannel(const std::string& id, const std::string& resId) const {
  for (const Channel& c : scenario_.channels)
    if (c.id == id && c.resId == resId) return &c;
  return nullptr;
}

const Channel* Service::FindChannelByCode(const std::string& code) const {
  for (const Channel& c : scenario_.channels)
    if (c.code == code) return &c;
  return nullptr;
}

}  // namespace kavrel::emulator
