#include "client/stats/usage_post.h"

namespace kavrel {

namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool PassesUnescaped(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         c == '/' || c == '.';
}

}  // namespace

Text JoinRecords(const std::vector<Text>& records, std::size_t count) {
  Text joined;
  for (std::size_t i = 0; i < count && i < records.size(); ++i) {
    if (i > 0) joined += kRecordSeparator;
    joined += records[i];
  }
  return joined;
}

std::size_t CountRecordsThatFit(const std::vector<Text>& records, std::size_t maxBytes) {
  const std::size_t separatorBytes = TextToUtf8(kRecordSeparator).size();
  std::size_t total = 0;
  std::size_t count = 0;
  for (const Text& record : records) {
    const std::size_t bytes = TextToUtf8(record).size() + (count > 0 ? separatorBytes : 0);
    if (total + bytes > maxBytes) break;
    total += bytes;
    ++count;
  }
  if (count == 0 && !records.empty()) count = 1;
  return count;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                       static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += kBase64Alphabet[v >> 18 & 63];
    out += kBase64Alphabet[v >> 12 & 63];
    out += kBase64Alphabet[v >> 6 & 63];
    out += kBase64Alphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kBase64Alphabet[v >> 18 & 63];
    out += kBase64Alphabet[v >> 12 & 63];
    out += rest == 2 ? kBase64Alphabet[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

std::string EncodePostBody(const Text& payload) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string base64 = Base64Encode(TextToUtf8(payload));
  std::string body = "mes=";
  body.reserve(body.size() + base64.size() * 3 / 2);
  for (char ch : base64) {
    const unsigned char c = static_cast<unsigned char>(ch == '+' ? '-' : ch);
    if (PassesUnescaped(c)) {
      body += static_cast<char>(c);
    } else {
      body += '%';
      body += kHex[c >> 4];
      body += kHex[c & 15];
    }
  }
  return body;
}

}  // namespace kavrel
