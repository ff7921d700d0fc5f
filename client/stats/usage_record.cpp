#include "client/stats/usage_record.h"

#include "common/text/format.h"

namespace kavrel {

namespace {

std::uint32_t Low32(std::int64_t value) { return static_cast<std::uint32_t>(value); }

}  // namespace

Text FormatRecordTime(const CalendarTime& t) {
  return Format(u"%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
}

Text FormatRecordHeader(const Text& macText, const Text& osName, const CalendarTime& time) {
  return FormatText(u"{\"%s\",\"%s\",\"%s\",\"%s\",\"%s\",\"%s\",\"%s\"}", kUsageTerminal,
                    macText, kUsageSystemFamily, osName, kUsageLocale, FormatRecordTime(time),
                    kUsageHeaderVersion);
}

Text LaunchBody() {
  return Format(u"{\"00006\",{\"%s\",\"%s\",\"%s\"}}", kUsageProductId, kUsageClientVersion,
                kUsageLanguage);
}

Text LaunchTimingBody(std::int64_t secondsSinceLaunch) {
  return Format(u"{\"06001\",{\"%s\",\"%s\",\"%s\",\"%u\"}}", kUsageProductId,
                kUsageClientVersion, kUsageLanguage, Low32(secondsSinceLaunch));
}

Text ServerReachedBody(std::int64_t secondsSinceCreation) {
  return Format(u"{\"02008\",{\"%s\",\"%u\"}}", kUsageProductId, Low32(secondsSinceCreation));
}

Text ChannelViewBody(std::int32_t code, const Text& channelKey, const Text& channelName,
                     std::int64_t secondsWatched, const Text& groupId, const Text& groupName) {
  return Format(u"{\"02011\",{\"%d\",\"%s\",\"%s\",\"%s\",\"%u\",\"%s\",\"%s\"}}", code,
                kUsageProductId, channelKey, channelName, Low32(secondsWatched), groupId,
                groupName);
}

Text ExitBody() {
  return Format(u"{\"00007\",{\"%s\",\"%s\",\"%s\"}}", kUsageProductId, kUsageClientVersion,
                kUsageLanguage);
}

void LimitRecordLength(Text& record) {
  if (record.size() <= kMaxRecordLength) return;
  std::size_t length = kMaxRecordLength;
  // Keep a surrogate pair whole: drop its high half rather than split it.
  const char16_t last = record[length - 1];
  if (last >= 0xD800 && last <= 0xDBFF) --length;
  record.resize(length);
}

Text MakeRecord(const Text& header, const Text& body) {
  Text record;
  record.reserve(header.size() + body.size() + 3);
  record += u'{';
  record += header;
  record += u',';
  record += body;
  record += u'}';
  LimitRecordLength(record);
  return record;
}

}  // namespace kavrel
