// ServiceCatalog: the device's standing with the television service and the
// channel catalogue it offers.
//
// It holds the server list and which server is in use (selection and
// rotation), the uuid that the handshake pcAuth.action issues, and the
// groups and channels of pcTv.action. The process-wide instance is made on
// first use and never destroyed; tests make their own instances.
//
// Threads: every operation may run on any thread. The state is guarded by
// one lock that is never held across a request, so queries on the UI thread
// do not wait for a reload's network traffic; loads (Init, LoadCatalog,
// StartReload) run one at a time, and handshakes one at a time. Records are
// shared and immutable: a record handed out stays valid however the
// catalogue changes afterwards. StartReload's threads are joined when an
// instance is destroyed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "common/platform/text.h"

namespace kavrel {

class MessageTarget;
class SettingsFile;

struct ChannelGroup {
  Text id;            // never empty
  Text name;          // never empty
  Text classifyCode;
  int isGroup = 0;
};

struct Channel {
  Text groupId;       // of the group that lists it
  Text classifyCode;  // of that group
  Text name;
  Text key;           // id followed by resId
  Text id;
  Text resId;
  Text code;
  Text status;
  int isCharge = 0;   // non-zero: a paid channel
};

using GroupRecord = std::shared_ptr<const ChannelGroup>;
using ChannelRecord = std::shared_ptr<const Channel>;

// The handshake's acknowledgement for b (0..254): b in 8 lowercase hex
// digits, "0001", b + 1 in 16 lowercase hex digits.
Text HandshakeAck(unsigned b);

class ServiceCatalog {
 public:
  // The process-wide instance over SettingsFile::Instance().
  static ServiceCatalog& Instance();

  explicit ServiceCatalog(SettingsFile& settings);
  ~ServiceCatalog();
  ServiceCatalog(const ServiceCatalog&) = delete;
  ServiceCatalog& operator=(const ServiceCatalog&) = delete;

  // Resets the selection (serverIndex 0, no current server, no uuid,
  // authResult and catalogResult 0), keeps the servers and the target of
  // the reload message, then loads the catalogue on the calling thread.
  void Init(MessageTarget* notifyWindow, unsigned notifyMessage, std::vector<Text> servers);

  // The handshake; true when the device holds a valid uuid. With no server
  // at all it fails without a request.
  bool AuthorizeDevice();

  // Handshake and catalogue request; true when at least one channel was read.
  bool LoadCatalog();

  // LoadCatalog on a new thread, then posts notifyMessage (0, 0) to the
  // notify window whatever the outcome.
  void StartReload();

  // The "UerSetMeal" entry of the current server; empty when there is none.
  Text PlayerAuthBase();

  std::vector<GroupRecord> Groups() const;
  // Brings the list of distinct channel names up to date and copies it.
  std::vector<ChannelRecord> AllChannels();
  std::vector<ChannelRecord> ChannelsOfGroup(const Text& groupId) const;
  ChannelRecord FindChannel(const Text& key) const;  // null when none
  Text ChannelName(const Text& key) const;
  GroupRecord GroupOfChannel(const Text& key) const;  // null when none

  Text currentServer() const;
  Text uuid() const;
  int authResult() const;
  int catalogResult() const;
  unsigned serverIndex() const;
  std::vector<Text> servers() const;

  // Forgets the uuid, so that the next AuthorizeDevice asks the service for
  // a new one (the login session does this when told to renew it).
  void ClearUuid();

  // Where the handshake's random number b comes from; by default a
  // generator seeded with the millisecond tick count, modulo 255. For tests.
  void SetAckSource(std::function<unsigned()> source);

 private:
  // Under mutex_: the server to use now, after wrapping serverIndex.
  Text SelectServerLocked();
  void RotateLocked();

  SettingsFile& settings_;
  mutable std::mutex mutex_;
  std::mutex loadMutex_;
  std::mutex handshakeMutex_;
  std::function<unsigned()> ackSource_;

  // Selection state.
  std::vector<Text> servers_;
  unsigned serverIndex_ = 0;
  Text currentServer_;
  Text uuid_;
  int authResult_ = 0;

  // Catalogue.
  std::vector<GroupRecord> groups_;
  std::vector<ChannelRecord> channels_;
  std::vector<ChannelRecord> allChannels_;
  int catalogResult_ = 0;
  MessageTarget* notifyWindow_ = nullptr;
  unsigned notifyMessage_ = 0;

  std::mutex threadsMutex_;
  std::vector<std::thread> reloads_;
};

}  // namespace kavrel
