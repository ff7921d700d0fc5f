// The parts of the code-page seam that are the same in every build.
#include "common/platform/code_page_internal.h"

namespace kavrel {
namespace internal {

Text Utf16BytesToText(std::string_view bytes, bool bigEndian) {
  Text out;
  out.reserve(bytes.size() / 2 + 1);
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const unsigned char a = static_cast<unsigned char>(bytes[i]);
    const unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
  }
  if (i < bytes.size()) out.push_back(0xFFFD);  // odd trailing byte
  return out;
}

std::string TextToUtf16Bytes(TextView text, bool bigEndian) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    if (bigEndian) {
      out.push_back(hi);
      out.push_back(lo);
    } else {
      out.push_back(lo);
      out.push_back(hi);
    }
  }
  return out;
}

}  // namespace internal
}  // namespace kavrel
