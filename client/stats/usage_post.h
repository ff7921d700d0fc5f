// The wire format of a statistics post.
//
// The records are joined with "^^", encoded as UTF-8, then in Base64
// (RFC 4648, "=" padding); every "+" becomes "-", and then every byte other
// than 0-9, a-z, A-Z, "/" and "." is written as "%" and two upper-case
// hexadecimal digits. The form body is "mes=" followed by that text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/text.h"

namespace kavrel {

constexpr char16_t kRecordSeparator[] = u"^^";

// The most UTF-8 bytes of joined records one post carries.
constexpr std::size_t kMaxPayloadBytes = 102400;

// The records [0, count) joined with "^^" between them.
Text JoinRecords(const std::vector<Text>& records, std::size_t count);

// How many of the oldest records fit into one post: the longest run from
// the front whose joined UTF-8 form has at most `maxBytes` bytes. Never 0
// when there is a record (a record longer than the limit goes alone; records
// are kept short enough that this cannot happen).
std::size_t CountRecordsThatFit(const std::vector<Text>& records,
                                std::size_t maxBytes = kMaxPayloadBytes);

std::string Base64Encode(std::string_view bytes);

// "mes=" + the encoded message of `payload` (the joined records).
std::string EncodePostBody(const Text& payload);

}  // namespace kavrel
