// The pretend service behind every emulated server: devices, accounts,
// catalogue, fee checks, guide, upgrade, user channels, advertisements, the
// statistics server and the update server.
//
// It knows nothing of HTTP: the front (emulator.h) hands it a request's path,
// parameters and body and sends back the answer it returns. The state
// (issued uuids, sign-ins, authorised devices) is shared by all servers, as
// they are the front ends of one service. Every operation is thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/service-emulator/scenario.h"

namespace kavrel::emulator {

struct ServiceRequest {
  std::string method;  // "GET" or "POST"
  std::string endpoint;  // the path without its leading slash
  std::map<std::string, std::string> params;
  std::string body;
  std::string host;  // the Host header: base of the addresses put in answers
};

struct ServiceAnswer {
  int status = 200;
  std::string contentType = "text/xml; charset=utf-8";
  std::string body;
  int throttleBytesPerSec = 0;  // 0: send at once
  // For a post to "collected": the decoded records, or the decoding error.
  std::vector<std::string> records;
  std::string decodeError;
};

class Service {
 public:
  using Clock = std::chrono::system_clock;

  // `start` is the moment the scenario's relative times count from.
  Service(Scenario scenario, Clock::time_point start);

  // Builds the advertisement packages and checks the stream addresses.
  // False with `error` set when a package folder cannot be packed or a
  // stream address is too long for the client to decode.
  bool Prepare(std::string* error);

  // The addresses of all servers, for the update server list.
  void SetServerList(std::vector<std::pair<std::string, std::string>> nameAndBase);

  // The answer to one request; nullopt for an unknown endpoint (a 404).
  std::optional<ServiceAnswer> Handle(const ServiceRequest& request);

  const Scenario& scenario() const { return scenario_; }

 private:
  struct Device {
    std::string signedInUser;
    std::set<std::string> authorisedUsers;  // through pcUserAuthLogin
  };

  ServiceAnswer Auth(const ServiceRequest& r);
  ServiceAnswer Catalogue(const ServiceRequest& r);
  ServiceAnswer Login(const ServiceRequest& r, bool deviceAuthorised);
  ServiceAnswer Logout(const ServiceRequest& r);
  ServiceAnswer Pulse(const ServiceRequest& r);
  ServiceAnswer FeeCheck(const ServiceRequest& r);
  ServiceAnswer Guide(const ServiceRequest& r);
  ServiceAnswer Upgrade(const ServiceRequest& r);
  ServiceAnswer UserChannels(const ServiceRequest& r);
  ServiceAnswer Ads(const ServiceRequest& r);
  ServiceAnswer GetTime(const ServiceRequest& r);
  ServiceAnswer Collected(const ServiceRequest& r);
  ServiceAnswer UpdateServerList(const ServiceRequest& r);
  ServiceAnswer UpdateDescription(const ServiceRequest& r);
  std::optional<ServiceAnswer> ServeUpdateFile(const std::string& endpoint);
  std::optional<ServiceAnswer> Package(const std::string& endpoint);

  // Both need mutex_ held.
  const Account* SignedInAccount(const std::string& uuid) const;
  int64_t RemainingMs(const Entitlement& e) const;

  const Channel* FindChannel(const std::string& id, const std::string& resId) const;
  const Channel* FindChannelByCode(const std::string& code) const;

  Scenario scenario_;
  Clock::time_point start_;
  std::map<std::string, std::string> packages_;  // ad id -> zip archive
  std::vector<std::pair<std::string, std::string>> serverList_;

  mutable std::mutex mutex_;
  uint64_t nextUuid_ = 1;
  std::map<std::string, Device> devices_;  // by uuid
};

}  // namespace kavrel::emulator
