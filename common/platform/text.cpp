#include "common/platform/text.h"

namespace kavrel {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(Text& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

}  // namespace

Text Utf8ToText(std::string_view in) {
  Text out;
  out.reserve(in.size());
  size_t i = 0;
  const size_t n = in.size();
  while (i < n) {
    const unsigned char b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    // Lead byte: how many continuation bytes follow and the smallest code
    // point that form may encode (to reject overlong forms).
    int extra;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the first continuation byte
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1; cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2; cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;       // overlong
      if (b == 0xED) hi = 0x9F;       // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3; cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;       // overlong
      if (b == 0xF4) hi = 0x8F;       // beyond U+10FFFF
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n) { ok = false; break; }
      const unsigned char c = static_cast<unsigned char>(in[j]);
      const unsigned char min = k == 0 ? lo : 0x80;
      const unsigned char max = k == 0 ? hi : 0xBF;
      if (c < min || c > max) { ok = false; break; }
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      // Maximal subpart rule: the bytes consumed so far form one bad sequence.
      out.push_back(kReplacement);
      i = j > i + 1 ? j : i + 1;
      continue;
    }
    AppendCodePoint(out, cp);
    i = j;
  }
  return out;
}

std::string TextToUtf8(TextView in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

Text AsciiToText(std::string_view ascii) {
  return Text(ascii.begin(), ascii.end());
}

}  // namespace kavrel
