#include "client/service/service_catalog.h"

#include <chrono>
#include <random>
#include <utility>

#include "client/foundation/settings_file.h"
#include "client/service/http_get.h"
#include "client/service/server_list.h"
#include "common/platform/message_target.h"
#include "common/text/format.h"
#include "common/xml/xml_document.h"

namespace kavrel {

namespace {

constexpr unsigned kAckModulus = 255;
constexpr int kAuthorised = 1;
constexpr int kRefused = 2;

unsigned TickSeededRandom() {
  const auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
  std::minstd_rand generator(static_cast<std::uint32_t>(ticks));
  return static_cast<unsigned>(generator() % kAckModulus);
}

}  // namespace

Text HandshakeAck(unsigned b) { return FormatText(u"%0.8x0001%0.16x", b, b + 1); }

ServiceCatalog& ServiceCatalog::Instance() {
  static ServiceCatalog* instance = new ServiceCatalog(SettingsFile::Instance());
  return *instance;
}

ServiceCatalog::ServiceCatalog(SettingsFile& settings)
    : settings_(settings), ackSource_(&TickSeededRandom) {}

ServiceCatalog::~ServiceCatalog() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    threads.swap(reloads_);
  }
  for (std::thread& t : threads)
    if (t.joinable()) t.join();
}

void ServiceCatalog::Init(MessageTarget* notifyWindow, unsigned notifyMessage,
                          std::vector<Text> servers) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    serverIndex_ = 0;
    uuid_.clear();
    currentServer_.clear();
    catalogResult_ = 0;
    authResult_ = 0;
    servers_ = std::move(servers);
    notifyWindow_ = notifyWindow;
    notifyMessage_ = notifyMessage;
  }
  LoadCatalog();
}

Text ServiceCatalog::SelectServerLocked() {
  if (servers_.empty()) {
    currentServer_.clear();
    return currentServer_;
  }
  if (serverIndex_ >= servers_.size()) serverIndex_ = 0;
  currentServer_ = servers_[serverIndex_];
  return currentServer_;
}

void ServiceCatalog::RotateLocked() {
  ++serverIndex_;
  currentServer_.clear();
}

bool ServiceCatalog::AuthorizeDevice() {
  std::lock_guard<std::mutex> handshake(handshakeMutex_);
  Text server;
  Text url;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!uuid_.empty() && authResult_ == kAuthorised) return true;
    if (uuid_.empty() && authResult_ == kRefused) return false;
    server = SelectServerLocked();
    if (server.empty()) return false;  // no server to ask
    const unsigned b = ackSource_() % kAckModulus;
    url = FormatText(u"%s/pcAuth.action?terminal=2&ack=%s", server, HandshakeAck(b));
  }

  Text answer;
  Text error;
  if (!HttpGetText(url, answer, error)) {
    std::lock_guard<std::mutex> lock(mutex_);
    RotateLocked();
    return false;
  }

  XmlDocument doc(answer);
  std::lock_guard<std::mutex> lock(mutex_);
  if (doc.FindElement()) {
    if (doc.FindChildElement(u"result")) authResult_ = AnswerInteger(doc.ChildElementText());
    if (doc.FindChildElement(u"uuid")) uuid_ = doc.ChildElementText();
  }
  return authResult_ == kAuthorised;
}

namespace {

struct ParsedCatalog {
  bool hasGroups = false;  // without a groups element nothing changes
  std::vector<GroupRecord> groups;
  std::vector<ChannelRecord> channels;
};

ParsedCatalog ParseCatalog(const Text& answer) {
  ParsedCatalog parsed;
  XmlDocument doc(answer);
  if (!doc.FindElement(u"groups")) return parsed;
  parsed.hasGroups = true;
  while (doc.FindChildElement(u"group")) {
    ChannelGroup group;
    group.name = doc.ChildAttributeValue(u"name");
    if (group.name.empty()) continue;
    group.id = doc.ChildAttributeValue(u"id");
    if (group.id.empty()) continue;
    group.isGroup = AnswerInteger(doc.ChildAttributeValue(u"isGroup"));
    group.classifyCode = doc.ChildAttributeValue(u"classifyCode");
    parsed.groups.push_back(std::make_shared<const ChannelGroup>(group));

    doc.EnterElement();  // the group's children are now the child level
    while (doc.FindChildElement(u"channel")) {
      doc.EnterElement();  // and now the channel's
      Channel channel;
      channel.groupId = group.id;
      channel.classifyCode = group.classifyCode;
      Text isCharge;
      // Each lookup continues after the one before: the order is binding.
      auto read = [&doc](const char16_t* name, Text& field) {
        if (!doc.FindChildElement(name)) return false;
        field = doc.ChildElementText();
        return true;
      };
      const bool complete = read(u"id", channel.id) && read(u"resId", channel.resId) &&
                            read(u"code", channel.code) && read(u"name", channel.name) &&
                            read(u"status", channel.status) && read(u"isCharge", isCharge);
      doc.LeaveElement();
      if (!complete) continue;
      channel.isCharge = AnswerInteger(isCharge);
      channel.key = channel.id + channel.resId;
      parsed.channels.push_back(std::make_shared<const Channel>(std::move(channel)));
    }
    doc.LeaveElement();
  }
  return parsed;
}

}  // namespace

bool ServiceCatalog::LoadCatalog() {
  std::lock_guard<std::mutex> load(loadMutex_);
  if (!AuthorizeDevice()) return false;
  Text url;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const Text server = SelectServerLocked();
    if (server.empty()) return false;
    url = FormatText(u"%s/pcTv.action?terminal=2&uuid=%s", server, uuid_);
  }
  Text answer;
  Text error;
  if (!HttpGetText(url, answer, error)) {
    std::lock_guard<std::mutex> lock(mutex_);
    RotateLocked();
    return false;
  }
  // Parsed outside the lock; only the swap of the lists happens under it.
  ParsedCatalog parsed = ParseCatalog(answer);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!parsed.hasGroups) {
    catalogResult_ = 0;
    return false;
  }
  catalogResult_ = parsed.channels.empty() ? 0 : 1;
  groups_ = std::move(parsed.groups);
  channels_ = std::move(parsed.channels);
  return catalogResult_ == 1;
}

void ServiceCatalog::StartReload() {
  std::lock_guard<std::mutex> lock(threadsMutex_);
  reloads_.emplace_back([this] {
    LoadCatalog();
    MessageTarget* target = nullptr;
    unsigned message = 0;
    {
      std::lock_guard<std::mutex> state(mutex_);
      target = notifyWindow_;
      message = notifyMessage_;
    }
    if (target) target->Post(message, 0, 0);
  });
}

Text ServiceCatalog::PlayerAuthBase() {
  const Text value = settings_.ReadValue(u"UerSetMeal", true);
  std::lock_guard<std::mutex> lock(mutex_);
  return PlayerAuthEntry(value, serverIndex_);
}

std::vector<GroupRecord> ServiceCatalog::Groups() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return groups_;
}

std::vector<ChannelRecord> ServiceCatalog::AllChannels() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const ChannelRecord& channel : channels_) {
    bool known = false;
    for (const ChannelRecord& seen : allChannels_)
      if (seen->name == channel->name) {
        known = true;
        break;
      }
    if (!known) allChannels_.push_back(channel);
  }
  return allChannels_;
}

std::vector<ChannelRecord> ServiceCatalog::ChannelsOfGroup(const Text& groupId) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ChannelRecord> out;
  for (const ChannelRecord& channel : channels_)
    if (channel->groupId == groupId) out.push_back(channel);
  return out;
}

ChannelRecord ServiceCatalog::FindChannel(const Text& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const ChannelRecord& channel : channels_)
    if (channel->key == key) return channel;
  return nullptr;
}

Text ServiceCatalog::ChannelName(const Text& key) const {
  const ChannelRecord channel = FindChannel(key);
  return channel ? channel->name : Text();
}

GroupRecord ServiceCatalog::GroupOfChannel(const Text& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  ChannelRecord last;
  for (const ChannelRecord& channel : channels_)
    if (channel->key == key) last = channel;
  if (!last) return nullptr;
  for (const GroupRecord& group : groups_)
    if (group->id == last->groupId) return group;
  return nullptr;
}

Text ServiceCatalog::currentServer() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return currentServer_;
}
Text ServiceCatalog::uuid() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return uuid_;
}
int ServiceCatalog::authResult() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return authResult_;
}
int ServiceCatalog::catalogResult() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return catalogResult_;
}
unsigned ServiceCatalog::serverIndex() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return serverIndex_;
}
std::vector<Text> ServiceCatalog::servers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return servers_;
}

void ServiceCatalog::ClearUuid() {
  std::lock_guard<std::mutex> lock(mutex_);
  uuid_.clear();
}

void ServiceCatalog::SetAckSource(std::function<unsigned()> source) {
  std::lock_guard<std::mutex> lock(mutex_);
  ackSource_ = source ? std::move(source) : std::function<unsigned()>(&TickSeededRandom);
}

}  // namespace kavrel
