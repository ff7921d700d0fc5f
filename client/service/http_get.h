// The two GET helpers through which every service request passes.
//
// Each call opens its own HTTP session (agent "Kavrel", direct, no cache),
// so they keep no shared state and may run on any thread at once. The HTTP
// status is not looked at: an error page is an answer like any other.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/platform/text.h"

namespace kavrel {

// The connect time-out and retries of every service request.
constexpr std::uint32_t kServiceConnectTimeoutMs = 2000;
constexpr std::uint32_t kServiceConnectRetries = 2;
// The User-Agent of every service request.
constexpr char16_t kServiceAgent[] = u"Kavrel";
// HttpGetRaw reads once, at most this many bytes.
constexpr std::size_t kRawReadLimit = 1048575;

// One GET. On success the body, with every CR and LF byte dropped and then
// decoded from UTF-8 up to its first NUL, becomes `answer` (an empty body
// leaves `answer` as it was) and the result is true. On any failure `error`
// becomes the text of "LOGIN_NETWORK_ERROR", `answer` stays as it was and
// the result is false.
bool HttpGetText(const Text& url, Text& answer, Text& error,
                 std::uint32_t connectTimeoutMs = kServiceConnectTimeoutMs,
                 std::uint32_t connectRetries = kServiceConnectRetries);

// As HttpGetText, but one read of at most kRawReadLimit bytes, decoded up to
// the first NUL byte in the ANSI code page; line breaks are kept.
bool HttpGetRaw(const Text& url, Text& answer, Text& error,
                std::uint32_t connectTimeoutMs = kServiceConnectTimeoutMs,
                std::uint32_t connectRetries = kServiceConnectRetries);

// An integer of an answer: leading white space, an optional sign, then the
// digits up to the first other character; no digits give 0, values beyond
// the 32-bit signed range give the nearest limit.
std::int32_t AnswerInteger(TextView text);

}  // namespace kavrel
