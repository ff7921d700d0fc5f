// The service emulator: several HTTP servers on loopback in front of one
// pretend Service, with fault injection and a request log.
//
// Every server serves every endpoint (service, statistics and update
// server). Faults are set per server and per endpoint; a server can also be
// taken down, so that connections to its port are refused (the port stays
// reserved and the server can be brought back on it).
//
// Reserved paths below "/__emulator/" (answered by every server, never
// logged, never faulted):
//   GET    /__emulator/log?since=N  the request log as JSON lines, from entry N
//   DELETE /__emulator/log          empties the log
//   GET    /__emulator/servers      the servers as a JSON array
//   POST   /__emulator/fault        {"server": S, "endpoint": E, "mode": M, "delayMs": D}
//                                   or {"server": S, "down": true|false}
//   DELETE /__emulator/fault        removes every endpoint fault
//
// A log entry is one JSON object: "seq", "server", "port", "method", "path",
// "params" (the query, percent escapes decoded, "+" kept), "body", "status"
// (0 when nothing was answered), "fault", and for posts to "collected"
// "records" (the decoded records) or "decodeError".
//
// All operations are thread-safe. Destroying the emulator stops its servers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/service-emulator/scenario.h"

namespace kavrel::emulator {

class Emulator {
 public:
  struct ServerInfo {
    std::string name;
    int port = 0;
    std::string base;  // "http://127.0.0.1:PORT"
    bool down = false;
  };

  explicit Emulator(Scenario scenario);
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // Builds the packages and starts every server of the scenario; a nonzero
  // entry of `ports` replaces the port of the server at its position, and
  // ports beyond the scenario's servers add servers. `logFile`, when not
  // empty, receives every log entry as a line. False with `error` set when a
  // package cannot be built, the log cannot be opened or a port is taken.
  bool Start(const std::vector<int>& ports, const std::string& logFile, std::string* error);
  void Stop();

  std::vector<ServerInfo> Servers() const;

  // False when there is no server of that name.
  bool SetFault(const std::string& server, const std::string& endpoint, Fault fault);
  void ClearFaults();
  bool SetDown(const std::string& server, bool down);

  // The log entries from position `since` on, each a JSON object as text.
  std::vector<std::string> Log(size_t since = 0) const;
  void ClearLog();

  // The config.ini values that point a client at this emulator, enciphered
  // with the settings cipher: ServerUrl (every server), BIServer (the first
  // one) and UerSetMeal (each server's base with a slash).
  std::vector<std::pair<std::string, std::string>> ClientSettings() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kavrel::emulator
