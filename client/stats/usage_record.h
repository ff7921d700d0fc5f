// The usage records: one line of JSON-like text per event,
// "{" + header + "," + body + "}", as the statistics server reads them.
//
// The header names the device, its system and the time of the event by the
// server's clock; the body names the event and its figures. These functions
// only format; UsageReporter decides when each record is made.
#pragma once

#include <cstdint>

#include "client/stats/usage_clock.h"
#include "common/platform/text.h"

namespace kavrel {

// Fixed fields of every record.
constexpr char16_t kUsageTerminal[] = u"PC";
constexpr char16_t kUsageSystemFamily[] = u"windows";
constexpr char16_t kUsageLocale[] = u"zh_CN";
constexpr char16_t kUsageHeaderVersion[] = u"1";
constexpr char16_t kUsageProductId[] = u"240007";
constexpr char16_t kUsageClientVersion[] = u"1.5.0.5";
constexpr char16_t kUsageLanguage[] = u"ko";

// A record is cut to this many characters, so that every record fits into a
// post on its own (8,191 characters are at most 24,573 bytes of UTF-8).
constexpr std::size_t kMaxRecordLength = 8191;

// "YYYY-MM-DD hh:mm:ss".
Text FormatRecordTime(const CalendarTime& time);

// {"PC","<mac>","windows","<os name>","zh_CN","<time>","1"}
Text FormatRecordHeader(const Text& macText, const Text& osName, const CalendarTime& time);

// The event bodies. Durations are printed as the low 32 bits of the number,
// unsigned.
Text LaunchBody();                                     // 00006
Text LaunchTimingBody(std::int64_t secondsSinceLaunch);  // 06001
Text ServerReachedBody(std::int64_t secondsSinceCreation);  // 02008
Text ChannelViewBody(std::int32_t code, const Text& channelKey, const Text& channelName,
                     std::int64_t secondsWatched, const Text& groupId,
                     const Text& groupName);  // 02011
Text ExitBody();                                       // 00007

// "{" + header + "," + body + "}", cut to kMaxRecordLength characters (never
// inside a surrogate pair).
Text MakeRecord(const Text& header, const Text& body);

// `record` cut to kMaxRecordLength characters, never inside a surrogate pair.
void LimitRecordLength(Text& record);

}  // namespace kavrel
