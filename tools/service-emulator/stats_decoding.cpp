#include "tools/service-emulator/stats_decoding.h"

namespace kavrel::emulator {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
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

bool IsUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t extra;
    unsigned min;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;  // sequence cut off at the end
    unsigned cp = c & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Base64Decode(std::string_view text, bool* ok) {
  std::string clean;
  for (char c : text)
    if (c != ' ' && c != '\r' && c != '\n' && c != '\t') clean += c;
  *ok = false;
  if (clean.size() % 4 != 0) return {};
  std::string out;
  for (size_t i = 0; i < clean.size(); i += 4) {
    bool last = i + 4 == clean.size();
    int pad = 0;
    unsigned v = 0;
    for (size_t k = 0; k < 4; ++k) {
      char c = clean[i + k];
      int d;
      if (c == '=' && last && k >= 2) {
        ++pad;
        d = 0;
      } else {
        if (pad) return {};  // data after padding
        d = Base64Value(c);
        if (d < 0) return {};
      }
      v = (v << 6) | static_cast<unsigned>(d);
    }
    out += static_cast<char>((v >> 16) & 0xFF);
    if (pad < 2) out += static_cast<char>((v >> 8) & 0xFF);
    if (pad < 1) out += static_cast<char>(v & 0xFF);
  }
  *ok = true;
  return out;
}

std::optional<std::vector<std::string>> DecodeCollected(std::string_view body,
                                                        std::string* error) {
  std::optional<std::string_view> field;
  for (size_t start = 0; start <= body.size();) {
    size_t end = body.find('&', start);
    if (end == std::string_view::npos) end = body.size();
    std::string_view pair = body.substr(start, end - start);
    if (pair.substr(0, 4) == "mes=") {
      field = pair.substr(4);
      break;
    }
    start = end + 1;
  }
  if (!field) {
    *error = "no mes field";
    return std::nullopt;
  }
  std::string base64 = PercentDecode(*field);
  for (char& c : base64)
    if (c == '-') c = '+';
  bool ok = false;
  std::string utf8 = Base64Decode(base64, &ok);
  if (!ok) {
    *error = "the message is not Base64";
    return std::nullopt;
  }
  if (!IsUtf8(utf8)) {
    *error = "the message is not UTF-8";
    return std::nullopt;
  }
  std::vector<std::string> records;
  if (utf8.empty()) return records;
  for (size_t start = 0;;) {
    size_t sep = utf8.find("^^", start);
    records.push_back(utf8.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
    if (sep == std::string::npos) break;
    start = sep + 2;
  }
  return records;
}

}  // namespace kavrel::emulator
