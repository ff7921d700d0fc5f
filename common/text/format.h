// The one %-formatter of the system, over UTF-16 and checked by type.
//
// Format strings follow C's printf for the conversions the system uses:
// %s %d %i %u %x %X %o %c and %%, with the flags - + space # 0, a width and a
// precision (either may be *), and length modifiers (h l ll I64 ...), which
// are accepted and ignored because each argument carries its own type.
//
// Format strings are data (language texts, request templates). Whatever the
// text asks for, the result is harmless and well defined:
//   - a conversion with no argument left produces nothing;
//   - arguments left over are ignored;
//   - an integer for %s prints in decimal; a text for %d/%u/%x/%c prints as
//     the text itself; %c of a text prints its first character;
//   - %n and unknown conversions are copied to the output as written;
//   - widths and precisions are capped at kMaxFieldWidth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "common/platform/text.h"

namespace kavrel {

constexpr int kMaxFieldWidth = 1024;

// One argument of a format call; made implicitly from texts, characters and
// integers. It refers to the caller's text, so it lives only for the call.
class FormatArg {
 public:
  enum class Kind { kText, kSigned, kUnsigned, kChar };

  FormatArg(TextView text) : kind_(Kind::kText), text_(text) {}
  FormatArg(const Text& text) : kind_(Kind::kText), text_(text) {}
  FormatArg(const char16_t* text) : kind_(Kind::kText), text_(text ? TextView(text) : TextView()) {}
  FormatArg(char16_t c) : kind_(Kind::kChar), unsignedValue_(c), bytes_(2) {}

  template <typename T, typename = std::enable_if_t<std::is_integral_v<T> &&
                                                    !std::is_same_v<T, bool> &&
                                                    !std::is_same_v<T, char16_t> &&
                                                    !std::is_same_v<T, char>>>
  FormatArg(T value) : bytes_(static_cast<int>(sizeof(T))) {
    if constexpr (std::is_signed_v<T>) {
      kind_ = Kind::kSigned;
      signedValue_ = value;
    } else {
      kind_ = Kind::kUnsigned;
      unsignedValue_ = value;
    }
  }
  FormatArg(bool value) : kind_(Kind::kSigned), signedValue_(value ? 1 : 0), bytes_(4) {}

  Kind kind() const { return kind_; }
  TextView text() const { return text_; }
  std::int64_t signedValue() const { return signedValue_; }
  std::uint64_t unsignedValue() const { return unsignedValue_; }
  int bytes() const { return bytes_; }  // size of the integer type it came from

 private:
  Kind kind_;
  TextView text_;
  std::int64_t signedValue_ = 0;
  std::uint64_t unsignedValue_ = 0;
  int bytes_ = 0;
};

// Formats `format` with `count` arguments. No length limit.
Text FormatArgs(TextView format, const FormatArg* args, std::size_t count);

template <typename... Args>
Text Format(TextView format, const Args&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(TextView())};
  return FormatArgs(format, list, sizeof...(Args));
}

// The system's request and message builder: as Format, but the result holds
// at most kFormatTextMaxLength characters, as the fixed buffer of the
// original design did. Longer output is cut, never overrun.
constexpr std::size_t kFormatTextMaxLength = 1023;

template <typename... Args>
Text FormatText(TextView format, const Args&... args) {
  Text out = Format(format, args...);
  if (out.size() > kFormatTextMaxLength) out.resize(kFormatTextMaxLength);
  return out;
}

}  // namespace kavrel
