#include "tools/service-emulator/scenario.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace kavrel::emulator {
namespace {

using nlohmann::json;

// A value of the wrong kind throws json::type_error from get<>(); the loader
// catches it in one place and turns it into the error text.
template <typename T>
T Get(const json& object, const char* key, T fallback) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return fallback;
  return it->get<T>();
}

std::string ReadFile(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  *ok = static_cast<bool>(in);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Resolve(const std::string& base, const std::string& path) {
  if (path.empty() || path[0] == '/' || base.empty()) return path;
  return base + "/" + path;
}

bool IsClock(const std::string& t) {
  if (t.size() != 8 || t[2] != ':' || t[5] != ':') return false;
  for (size_t i : {0, 1, 3, 4, 6, 7})
    if (t[i] < '0' || t[i] > '9') return false;
  return t.compare(0, 2, "24") < 0 && t[3] < '6' && t[6] < '6';
}

bool ParseFault(const json& j, Fault* fault, std::string* error) {
  fault->delayMs = Get<int>(j, "delayMs", 0);
  std::string mode = Get<std::string>(j, "mode", "none");
  if (!ParseFaultMode(mode, &fault->mode)) {
    *error = "unknown fault mode \"" + mode + "\"";
    return false;
  }
  if (fault->delayMs < 0) {
    *error = "delayMs must not be negative";
    return false;
  }
  return true;
}

bool ParseAll(const json& root, const std::string& base, Scenario* s, std::string* error) {
  if (!root.is_object()) {
    *error = "the scenario must be a JSON object";
    return false;
  }
  for (const json& j : Get<json>(root, "servers", json::array())) {
    ServerSpec server;
    server.name = Get<std::string>(j, "name", "server" + std::to_string(s->servers.size() + 1));
    server.port = Get<int>(j, "port", 0);
    server.down = Get<bool>(j, "down", false);
    const json faults = Get<json>(j, "faults", json::object());
    for (auto it = faults.begin(); it != faults.end(); ++it) {
      const std::string endpoint = it.key();
      const json& f = it.value();
      Fault fault;
      if (!ParseFault(f, &fault, error)) {
        *error = "server " + server.name + ", endpoint " + endpoint + ": " + *error;
        return false;
      }
      server.faults[endpoint] = fault;
    }
    if (server.port < 0 || server.port > 65535) {
      *error = "server " + server.name + ": port out of range";
      return false;
    }
    s->servers.push_back(std::move(server));
  }

  const json handshake = Get<json>(root, "handshake", json::object());
  s->refuseDevices = Get<bool>(handshake, "refuse", false);

  for (const json& j : Get<json>(root, "channels", json::array())) {
    Channel c;
    c.id = Get<std::string>(j, "id", "");
    c.resId = Get<std::string>(j, "resId", "1");
    c.code = Get<std::string>(j, "code", c.id);
    c.name = Get<std::string>(j, "name", "");
    c.status = Get<std::string>(j, "status", "1");
    c.isCharge = Get<int>(j, "isCharge", 0);
    c.stream = Get<std::string>(j, "stream", "");
    if (c.id.empty() || c.name.empty()) {
      *error = "every channel needs an id and a name";
      return false;
    }
    for (const json& slot : Get<json>(j, "guide", json::array())) {
      if (!slot.is_array() || slot.size() != 2) {
        *error = "channel " + c.id + ": a guide slot is [\"HH:MM:SS\", \"title\"]";
        return false;
      }
      GuideSlot g{slot[0].get<std::string>(), slot[1].get<std::string>()};
      if (!IsClock(g.startTime)) {
        *error = "channel " + c.id + ": bad start time \"" + g.startTime + "\"";
        return false;
      }
      c.guide.push_back(std::move(g));
    }
    std::stable_sort(c.guide.begin(), c.guide.end(),
                     [](const GuideSlot& a, const GuideSlot& b) { return a.startTime < b.startTime; });
    s->channels.push_back(std::move(c));
  }

  for (const json& j : Get<json>(root, "groups", json::array())) {
    Group g;
    g.id = Get<std::string>(j, "id", "");
    g.name = Get<std::string>(j, "name", "");
    g.classifyCode = Get<std::string>(j, "classifyCode", g.id);
    g.isGroup = Get<int>(j, "isGroup", 1);
    g.channelIds = Get<std::vector<std::string>>(j, "channels", {});
    for (const std::string& id : g.channelIds) {
      bool known = std::any_of(s->channels.begin(), s->channels.end(),
                               [&](const Channel& c) { return c.id == id; });
      if (!known) {
        *error = "group " + g.id + " names an unknown channel " + id;
        return false;
      }
    }
    s->groups.push_back(std::move(g));
  }

  for (const json& j : Get<json>(root, "accounts", json::array())) {
    Account a;
    a.user = Get<std::string>(j, "user", "");
    a.password = Get<std::string>(j, "password", "");
    a.kind = Get<std::string>(j, "kind", "store");
    a.blacklisted = Get<bool>(j, "blacklisted", false);
    a.needsDeviceAuth = Get<bool>(j, "needsDeviceAuth", false);
    a.frequency = Get<int>(j, "frequency", 60000);
    a.outRule = Get<int>(j, "outRule", 3);
    a.appUser = Get<std::string>(j, "appUser", "");
    a.appCode = Get<std::string>(j, "appCode", "");
    a.appUn = Get<std::string>(j, "appUn", "");
    if (a.user.empty() || (a.kind != "store" && a.kind != "app")) {
      *error = "every account needs a user and the kind \"store\" or \"app\"";
      return false;
    }
    const json channels = Get<json>(j, "channels", json::object());
    // Plain iterators: a structured binding over items() keeps a reference to
    // a key that does not outlive the loop step.
    for (auto it = channels.begin(); it != channels.end(); ++it) {
      const std::string id = it.key();
      const json& e = it.value();
      Entitlement ent;
      ent.status = Get<int>(e, "status", 1);
      ent.remainingMs = static_cast<int64_t>(Get<double>(e, "remainingHours", 0) * 3600000.0);
      a.channels[id] = ent;
    }
    s->accounts.push_back(std::move(a));
  }

  const json guide = Get<json>(root, "guide", json::object());
  s->guideDays = Get<int>(guide, "days", 3);
  s->pulseStatus = Get<int>(Get<json>(root, "pulse", json::object()), "status", 0);

  const json upgrade = Get<json>(root, "upgrade", json::object());
  s->upgradeVersion = Get<std::string>(upgrade, "version", "");
  s->upgradeMessage = Get<std::string>(upgrade, "message", "");
  s->forceUpgrade = Get<int>(upgrade, "force", 0);
  s->upgradeCodePage = Get<unsigned>(upgrade, "codePage", 949);

  for (const json& j : Get<json>(root, "ads", json::array())) {
    Advertisement ad;
    ad.key = Get<std::string>(j, "key", "");
    ad.id = Get<std::string>(j, "id", "");
    ad.type = Get<int>(j, "type", 2);
    ad.modifyTime = Get<std::string>(j, "modifyTime", "1");
    ad.url = Get<std::string>(j, "url", "");
    ad.folder = Get<std::string>(j, "folder", "");
    ad.endInHours = Get<int64_t>(j, "endInHours", 24 * 30);
    ad.showTime = Get<int>(j, "showTime", 10);
    ad.showInMinutes = Get<std::vector<int>>(j, "showInMinutes", {});
    if (ad.id.empty() || ad.id.find_first_not_of(
                             "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_-") !=
                             std::string::npos) {
      *error = "every advertisement needs an id of letters, digits, '_' and '-'";
      return false;
    }
    if (ad.type == 2) {
      if (ad.folder.empty()) {
        *error = "advertisement " + ad.id + ": a package needs a folder";
        return false;
      }
      ad.folder = Resolve(base, ad.folder);
    }
    s->ads.push_back(std::move(ad));
  }

  const json stats = Get<json>(root, "statistics", json::object());
  s->statsTimeShiftMs = Get<int64_t>(stats, "timeShiftMs", 0);
  s->statsStatus = Get<int>(stats, "status", 200);
  if (s->statsStatus < 100 || s->statsStatus > 599) {
    *error = "statistics status must be an HTTP status";
    return false;
  }

  const json update = Get<json>(root, "update", json::object());
  s->updateVersion = Get<std::string>(update, "version", "");
  s->updateThrottleBytesPerSec = Get<int>(update, "throttleBytesPerSec", 0);
  for (const json& j : Get<json>(update, "files", json::array())) {
    UpdateFile f;
    f.name = Get<std::string>(j, "name", "");
    f.productVersion = Get<std::string>(j, "productVersion", s->updateVersion);
    f.installDir = Get<std::string>(j, "installDir", "CURRENTDIR");
    f.localPath = Get<std::string>(j, "localPath", "");
    f.content = Get<std::string>(j, "content", "");
    std::string source = Get<std::string>(j, "source", "");
    if (f.name.empty() || f.name.find_first_of("/\\") != std::string::npos) {
      *error = "every update file needs a plain file name";
      return false;
    }
    if (!source.empty()) {
      bool ok = false;
      f.content = ReadFile(Resolve(base, source), &ok);
      if (!ok) {
        *error = "update file " + f.name + ": cannot read " + source;
        return false;
      }
    }
    s->updateFiles.push_back(std::move(f));
  }
  return true;
}

}  // namespace

bool ParseFaultMode(const std::string& name, FaultMode* mode) {
  static const std::pair<const char*, FaultMode> kModes[] = {
      {"none", FaultMode::kNone},           {"nothing", FaultMode::kNothing},
      {"error", FaultMode::kError},         {"malformed", FaultMode::kMalformed},
      {"truncated", FaultMode::kTruncated},
  };
  for (const auto& [n, m] : kModes) {
    if (name == n) {
      *mode = m;
      return true;
    }
  }
  return false;
}

const char* FaultModeName(FaultMode mode) {
  switch (mode) {
    case FaultMode::kNothing: return "nothing";
    case FaultMode::kError: return "error";
    case FaultMode::kMalformed: return "malformed";
    case FaultMode::kTruncated: return "truncated";
    case FaultMode::kNone: break;
  }
  return "none";
}

bool ParseScenario(const std::string& text, const std::string& baseFolder, Scenario* scenario,
                   std::string* error) {
  json root = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) {
    *error = "the scenario is not valid JSON";
    return false;
  }
  Scenario parsed;
  try {
    if (!ParseAll(root, baseFolder, &parsed, error)) return false;
  } catch (const json::exception& e) {
    *error = std::string("a scenario value has the wrong kind: ") + e.what();
    return false;
  }
  if (parsed.servers.empty()) parsed.servers.push_back(ServerSpec{"main"});
  *scenario = std::move(parsed);
  return true;
}

bool LoadScenarioFile(const std::string& path, Scenario* scenario, std::string* error) {
  bool ok = false;
  std::string text = ReadFile(path, &ok);
  if (!ok) {
    *error = "cannot read " + path;
    return false;
  }
  size_t slash = path.find_last_of('/');
  std::string base = slash == std::string::npos ? "." : path.substr(0, slash);
  return ParseScenario(text, base, scenario, error);
}

}  // namespace kavrel::emulator
