#include "client/stats/post_decoder_for_tests.h"

namespace kavrel {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

bool Base64Decode(const std::string& text, std::string& bytes) {
  bytes.clear();
  if (text.size() % 4 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int v[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[i + k];
      if (c == '=' && last && k >= 2) {
        v[k] = 0;
        ++padding;
        continue;
      }
      if (padding > 0) return false;  // data after padding
      v[k] = Base64Value(c);
      if (v[k] < 0) return false;
    }
    const unsigned word = static_cast<unsigned>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
    bytes += static_cast<char>(word >> 16 & 0xFF);
    if (padding < 2) bytes += static_cast<char>(word >> 8 & 0xFF);
    if (padding < 1) bytes += static_cast<char>(word & 0xFF);
  }
  return true;
}

bool DecodePostBody(const std::string& body, std::vector<Text>& records) {
  records.clear();
  if (body.compare(0, 4, "mes=") != 0) return false;
  std::string base64;
  for (std::size_t i = 4; i < body.size(); ++i) {
    char c = body[i];
    if (c == '%') {
      if (i + 2 >= body.size()) return false;
      const int high = HexValue(body[i + 1]);
      const int low = HexValue(body[i + 2]);
      if (high < 0 || low < 0) return false;
      c = static_cast<char>(high * 16 + low);
      i += 2;
    }
    base64 += c == '-' ? '+' : c;
  }
  std::string utf8;
  if (!Base64Decode(base64, utf8)) return false;
  const Text joined = Utf8ToText(utf8);
  if (joined.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = joined.find(u"^^", start);
    records.push_back(joined.substr(start, end == Text::npos ? Text::npos : end - start));
    if (end == Text::npos) break;
    start = end + 2;
  }
  return true;
}

}  // namespace kavrel
