#include "tools/service-emulator/emulator.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "client/foundation/settings_cipher.h"
#include "common/platform/text.h"
#include "tools/service-emulator/service.h"
#include "tools/service-emulator/stats_decoding.h"

namespace kavrel::emulator {
namespace {

using nlohmann::json;

constexpr char kHost[] = "127.0.0.1";
constexpr char kControlPrefix[] = "__emulator/";
constexpr int kThrottleStepMs = 100;    // a throttled body is sent in ten steps a second
constexpr size_t kMaxRequestBody = 8 * 1024 * 1024;

const char kErrorPage[] =
    "<html><head><title>500 Internal Server Error</title></head>"
    "<body><h1>Internal Server Error</h1><p>The server is busy.</p></body></html>";
// Unclosed elements, a stray ampersand and a mismatched end tag.
const char kMalformedDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><result><status>1</stat<us><url>&&</ur"
    "l><groups><group name=\"x\" id=\"</result></groups";

std::string Dump(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::map<std::string, std::string> ParseQuery(const std::string& target) {
  std::map<std::string, std::string> params;
  size_t q = target.find('?');
  if (q == std::string::npos) return params;
  std::string query = target.substr(q + 1);
  size_t hash = query.find('#');
  if (hash != std::string::npos) query.resize(hash);
  for (size_t start = 0; start < query.size();) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string pair = query.substr(start, end - start);
    size_t eq = pair.find('=');
    if (!pair.empty()) {
      params[PercentDecode(pair.substr(0, eq))] =
          eq == std::string::npos ? std::string() : PercentDecode(pair.substr(eq + 1));
    }
    start = end + 1;
  }
  return params;
}

std::string EndpointOf(const std::string& target) {
  std::string path = target.substr(0, target.find_first_of("?#"));
  path = PercentDecode(path);
  return path.empty() || path[0] != '/' ? path : path.substr(1);
}

// A socket bound to the port but not listening: connections to it are
// refused, and nobody else can take the port meanwhile.
int ReservePort(int port, int* fd) {
  *fd = socket(AF_INET, SOCK_STREAM, 0);
  if (*fd < 0) return -1;
  int one = 1;
  setsockopt(*fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, kHost, &address.sin_addr);
  socklen_t length = sizeof address;
  if (bind(*fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(*fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(*fd);
    *fd = -1;
    return -1;
  }
  return ntohs(address.sin_port);
}

// Ends the connection of a request from inside its handler, so that the
// client gets no byte of an answer. The HTTP layer does not hand its socket
// to handlers: find it among the process's descriptors by its two ends.
void CloseConnection(const std::string& remoteAddress, int remotePort, int localPort) {
  DIR* fds = opendir("/proc/self/fd");
  if (!fds) return;
  while (dirent* d = readdir(fds)) {
    char* end = nullptr;
    long fd = std::strtol(d->d_name, &end, 10);
    if (*end || fd < 0 || fd == dirfd(fds)) continue;
    sockaddr_in local{}, peer{};
    socklen_t localLength = sizeof local, peerLength = sizeof peer;
    char address[INET_ADDRSTRLEN] = "";
    int sock = static_cast<int>(fd);
    if (getsockname(sock, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
        local.sin_family != AF_INET || ntohs(local.sin_port) != localPort ||
        getpeername(sock, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
        ntohs(peer.sin_port) != remotePort ||
        !inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address) || remoteAddress != address)
      continue;
    shutdown(sock, SHUT_RDWR);
    break;
  }
  closedir(fds);
}

}  // namespace

class Emulator::Impl {
 public:
  explicit Impl(Scenario scenario)
      : service_(std::move(scenario), Service::Clock::now()) {}

  ~Impl() {
    Stop();
    if (logFile_) std::fclose(logFile_);
  }

  bool Start(const std::vector<int>& ports, const std::string& logFile, std::string* error);
  void Stop();
  std::vector<ServerInfo> Servers() const;
  bool SetFault(const std::string& server, const std::string& endpoint, Fault fault);
  void ClearFaults();
  bool SetDown(const std::string& server, bool down);
  std::vector<std::string> Log(size_t since) const;
  void ClearLog();
  std::vector<std::pair<std::string, std::string>> ClientSettings() const;

 private:
  struct Front;

  struct Front {
    ServerSpec config;
    int port = 0;
    bool down = false;
    int reserveFd = -1;
    std::unique_ptr<httplib::Server> http;
    std::thread thread;
  };

  std::unique_ptr<httplib::Server> MakeServer(Front& front);
  bool Listen(Front& front, bool anyPort, std::string* error);
  void Halt(Front& front);
  Fault FaultFor(const Front& front, const std::string& endpoint) const;
  void HandleRequest(Front& front, const httplib::Request& req, httplib::Response& res);
  void HandleControl(const std::string& endpoint, const httplib::Request& req,
                     httplib::Response& res);
  void AddLog(json entry);
  Front* FindFront(const std::string& name) const;

  Service service_;
  mutable std::mutex mutex_;  // guards fronts' faults and down flags, and the log
  std::vector<std::unique_ptr<Front>> fronts_;
  std::vector<std::string> log_;
  std::FILE* logFile_ = nullptr;
  std::mutex lifecycle_;  // serialises Start, Stop and SetDown
};

std::unique_ptr<httplib::Server> Emulator::Impl::MakeServer(Front& front) {
  auto server = std::make_unique<httplib::Server>();
  server->set_keep_alive_max_count(1);
  server->set_read_timeout(5, 0);
  server->set_write_timeout(5, 0);
  server->set_payload_max_length(kMaxRequestBody);
  auto handler = [this, &front](const httplib::Request& req, httplib::Response& res) {
    HandleRequest(front, req, res);
  };
  server->Get(".*", handler);
  server->Post(".*", handler);
  server->Delete(".*", handler);
  return server;
}

bool Emulator::Impl::Listen(Front& front, bool anyPort, std::string* error) {
  front.http = MakeServer(front);
  if (anyPort) {
    front.port = front.http->bind_to_any_port(kHost);
    if (front.port <= 0) {
      *error = "server " + front.config.name + ": no free port";
      return false;
    }
  } else if (!front.http->bind_to_port(kHost, front.port)) {
    *error = "server " + front.config.name + ": port " + std::to_string(front.port) + " is taken";
    return false;
  }
  httplib::Server* http = front.http.get();
  front.thread = std::thread([http] { http->listen_after_bind(); });
  for (int i = 0; i < 1000 && !http->is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void Emulator::Impl::Halt(Front& front) {
  if (front.http) {
    front.http->stop();
    if (front.thread.joinable()) front.thread.join();
    front.http.reset();
  }
}

bool Emulator::Impl::Start(const std::vector<int>& ports, const std::string& logFile,
                           std::string* error) {
  std::lock_guard<std::mutex> lifecycle(lifecycle_);
  if (!service_.Prepare(error)) return false;
  if (!logFile.empty()) {
    logFile_ = std::fopen(logFile.c_str(), "a");
    if (!logFile_) {
      *error = "cannot open the log file " + logFile;
      return false;
    }
  }
  std::vector<ServerSpec> configs = service_.scenario().servers;
  for (size_t i = configs.size(); i < ports.size(); ++i)
    configs.push_back(ServerSpec{"server" + std::to_string(i + 1)});
  for (size_t i = 0; i < configs.size(); ++i) {
    auto front = std::make_unique<Front>();
    front->config = configs[i];
    front->port = i < ports.size() && ports[i] != 0 ? ports[i] : configs[i].port;
    front->down = configs[i].down;
    Front& f = *front;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fronts_.push_back(std::move(front));
    }
    if (f.down) {
      f.port = ReservePort(f.port, &f.reserveFd);
      if (f.port < 0) {
        *error = "server " + f.config.name + ": cannot reserve its port";
        return false;
      }
    } else if (!Listen(f, f.port == 0, error)) {
      return false;
    }
  }
  std::vector<std::pair<std::string, std::string>> list;
  for (const ServerInfo& s : Servers()) list.emplace_back(s.name, s.base);
  service_.SetServerList(std::move(list));
  return true;
}

void Emulator::Impl::Stop() {
  std::lock_guard<std::mutex> lifecycle(lifecycle_);
  for (auto& front : fronts_) {
    Halt(*front);
    if (front->reserveFd >= 0) {
      close(front->reserveFd);
      front->reserveFd = -1;
    }
  }
}

std::vector<Emulator::ServerInfo> Emulator::Impl::Servers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ServerInfo> out;
  for (const auto& f : fronts_)
    out.push_back({f->config.name, f->port, "http://" + std::string(kHost) + ":" + std::to_string(f->port),
                   f->down});
  return out;
}

Emulator::Impl::Front* Emulator::Impl::FindFront(const std::string& name) const {
  for (const auto& f : fronts_)
    if (f->config.name == name) return f.get();
  return nullptr;
}

bool Emulator::Impl::SetFault(const std::string& server, const std::string& endpoint, Fault fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  Front* f = FindFront(server);
  if (!f) return false;
  if (fault.mode == FaultMode::kNone && fault.delayMs == 0) {
    f->config.faults.erase(endpoint);
  } else {
    f->config.faults[endpoint] = fault;
  }
  return true;
}

void Emulator::Impl::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& f : fronts_) f->config.faults.clear();
}

bool Emulator::Impl::SetDown(const std::string& server, bool down) {
  std::lock_guard<std::mutex> lifecycle(lifecycle_);
  Front* f;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    f = FindFront(server);
    if (!f) return false;
    if (f->down == down) return true;
  }
  std::string error;
  if (down) {
    Halt(*f);
    if (ReservePort(f->port, &f->reserveFd) < 0) return false;
  } else {
    close(f->reserveFd);
    f->reserveFd = -1;
    if (!Listen(*f, false, &error)) return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  f->down = down;
  return true;
}

Fault Emulator::Impl::FaultFor(const Front& front, const std::string& endpoint) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = front.config.faults.find(endpoint);
  if (it == front.config.faults.end()) it = front.config.faults.find("*");
  return it == front.config.faults.end() ? Fault{} : it->second;
}

void Emulator::Impl::HandleRequest(Front& front, const httplib::Request& req,
                                   httplib::Response& res) {
  const std::string endpoint = EndpointOf(req.target.empty() ? req.path : req.target);
  if (endpoint.rfind(kControlPrefix, 0) == 0) {
    HandleControl(endpoint.substr(sizeof kControlPrefix - 1), req, res);
    return;
  }
  ServiceRequest request;
  request.method = req.method;
  request.endpoint = endpoint;
  request.params = ParseQuery(req.target);
  request.body = req.body;
  request.host = req.get_header_value("Host");
  if (request.host.empty()) request.host = std::string(kHost) + ":" + std::to_string(front.port);

  Fault fault = FaultFor(front, endpoint);
  if (fault.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));

  std::optional<ServiceAnswer> answer = service_.Handle(request);
  json entry = {{"server", front.config.name}, {"port", front.port}, {"method", req.method},
                {"path", "/" + endpoint}, {"body", req.body}, {"fault", FaultModeName(fault.mode)}};
  json params = json::object();
  for (const auto& [k, v] : request.params) params[k] = v;
  entry["params"] = params;
  if (answer && endpoint == "collected") {
    if (answer->decodeError.empty()) {
      entry["records"] = answer->records;
    } else {
      entry["decodeError"] = answer->decodeError;
    }
  }

  if (!answer) {
    answer = ServiceAnswer{404, "text/html", "<html><body><h1>404 Not Found</h1></body></html>"};
  }
  switch (fault.mode) {
    case FaultMode::kError:
      answer->status = 500;
      answer->contentType = "text/html";
      answer->body = kErrorPage;
      answer->throttleBytesPerSec = 0;
      break;
    case FaultMode::kMalformed:
      answer->status = 200;
      answer->body = kMalformedDocument;
      answer->throttleBytesPerSec = 0;
      break;
    case FaultMode::kTruncated:
      answer->body.resize(answer->body.size() / 2);
      break;
    case FaultMode::kNothing:
      entry["status"] = 0;
      AddLog(std::move(entry));
      // The HTTP layer's answer then goes nowhere.
      CloseConnection(req.remote_addr, req.remote_port, front.port);
      return;
    case FaultMode::kNone:
      break;
  }
  entry["status"] = answer->status;
  AddLog(std::move(entry));

  res.status = answer->status;
  if (answer->throttleBytesPerSec > 0 && !answer->body.empty()) {
    auto body = std::make_shared<std::string>(std::move(answer->body));
    size_t step = std::max<size_t>(1, static_cast<size_t>(answer->throttleBytesPerSec) *
                                          kThrottleStepMs / 1000);
    res.set_content_provider(
        body->size(), answer->contentType,
        [body, step](size_t offset, size_t length, httplib::DataSink& sink) {
          size_t n = std::min(step, length);
          if (!sink.write(body->data() + offset, n)) return false;
          std::this_thread::sleep_for(std::chrono::milliseconds(kThrottleStepMs));
          return true;
        });
  } else {
    res.set_content(answer->body, answer->contentType);
  }
}

void Emulator::Impl::HandleControl(const std::string& what, const httplib::Request& req,
                                   httplib::Response& res) {
  auto reply = [&res](int status, const json& j) {
    res.status = status;
    res.set_content(Dump(j) + "\n", "application/json");
  };
  if (what == "log" && req.method == "GET") {
    size_t since = 0;
    auto params = ParseQuery(req.target);
    if (params.count("since")) since = std::strtoull(params["since"].c_str(), nullptr, 10);
    std::string lines;
    for (const std::string& line : Log(since)) lines += line + "\n";
    res.set_content(lines, "application/x-ndjson");
  } else if (what == "log" && req.method == "DELETE") {
    ClearLog();
    reply(200, {{"ok", true}});
  } else if (what == "servers" && req.method == "GET") {
    json list = json::array();
    for (const ServerInfo& s : Servers())
      list.push_back({{"name", s.name}, {"port", s.port}, {"base", s.base}, {"down", s.down}});
    reply(200, list);
  } else if (what == "fault" && req.method == "DELETE") {
    ClearFaults();
    reply(200, {{"ok", true}});
  } else if (what == "fault" && req.method == "POST") {
    json j = json::parse(req.body, nullptr, false);
    if (!j.is_object() || !j.contains("server") || !j["server"].is_string()) {
      reply(400, {{"error", "expected {\"server\": ..., ...}"}});
      return;
    }
    const std::string server = j["server"];
    bool ok;
    if (j.contains("down")) {
      ok = j["down"].is_boolean() && SetDown(server, j["down"].get<bool>());
    } else {
      Fault fault;
      FaultMode mode = FaultMode::kNone;
      const json& m = j.contains("mode") ? j["mode"] : json("none");
      const json& d = j.contains("delayMs") ? j["delayMs"] : json(0);
      const json& e = j.contains("endpoint") ? j["endpoint"] : json("*");
      ok = m.is_string() && ParseFaultMode(m.get<std::string>(), &mode) &&
           d.is_number_integer() && d.get<int64_t>() >= 0 && d.get<int64_t>() <= 600000 &&
           e.is_string();
      if (ok) {
        fault.mode = mode;
        fault.delayMs = d.get<int>();
        ok = SetFault(server, e.get<std::string>(), fault);
      }
    }
    if (ok) {
      reply(200, {{"ok", true}});
    } else {
      reply(400, {{"error", "unknown server or bad fault"}});
    }
  } else {
    reply(404, {{"error", "unknown control path"}});
  }
}

void Emulator::Impl::AddLog(json entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  entry["seq"] = log_.size();
  log_.push_back(Dump(entry));
  if (logFile_) {
    std::fputs(log_.back().c_str(), logFile_);
    std::fputc('\n', logFile_);
    std::fflush(logFile_);
  }
}

std::vector<std::string> Emulator::Impl::Log(size_t since) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (since >= log_.size()) return {};
  return std::vector<std::string>(log_.begin() + static_cast<std::ptrdiff_t>(since), log_.end());
}

void Emulator::Impl::ClearLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}

std::vector<std::pair<std::string, std::string>> Emulator::Impl::ClientSettings() const {
  std::vector<ServerInfo> servers = Servers();
  std::string serverUrl, playerBases;
  for (size_t i = 0; i < servers.size() && i < 3; ++i) {
    serverUrl += servers[i].base + "<EOF>";
    playerBases += servers[i].base + "/<EOF>";
  }
  for (size_t i = servers.size(); i < 3; ++i) playerBases += "<EOF>";
  auto encipher = [](const std::string& v) {
    return TextToUtf8(SettingsCipher::Instance().Encipher(Utf8ToText(v)));
  };
  return {{"ServerUrl", encipher(serverUrl)},
          {"BIServer", encipher(servers.empty() ? std::string() : servers[0].base)},
          {"UerSetMeal", encipher(playerBases)}};
}

Emulator::Emulator(Scenario scenario) : impl_(std::make_unique<Impl>(std::move(scenario))) {}
Emulator::~Emulator() = default;
bool Emulator::Start(const std::vector<int>& ports, const std::string& logFile, std::string* error) {
  return impl_->Start(ports, logFile, error);
}
void Emulator::Stop() { impl_->Stop(); }
std::vector<Emulator::ServerInfo> Emulator::Servers() const { return impl_->Servers(); }
bool Emulator::SetFault(const std::string& server, const std::string& endpoint, Fault fault) {
  return impl_->SetFault(server, endpoint, fault);
}
void Emulator::ClearFaults() { impl_->ClearFaults(); }
bool Emulator::SetDown(const std::string& server, bool down) { return impl_->SetDown(server, down); }
std::vector<std::string> Emulator::Log(size_t since) const { return impl_->Log(since); }
void Emulator::ClearLog() { impl_->ClearLog(); }
std::vector<std::pair<std::string, std::string>> Emulator::ClientSettings() const {
  return impl_->ClientSettings();
}

}  // namespace kavrel::emulator
