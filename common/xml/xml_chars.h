// Character classes of the XML reader: one table of bit flags for the ASCII
// range, asked through IsClass. Characters from 128 upward belong to no class
// except kNameStart, so non-ASCII text never ends a name.
#pragma once

#include <cstdint>

namespace kavrel {
namespace xml {

enum CharClass : std::uint8_t {
  kWhitespace = 0x01,     // tab, line feed, carriage return, space
  kNameEnd = 0x02,        // ends a name read from a tag: ws ! " ' / ; < = > ? backslash
  kTagNameEnd = 0x04,     // ends the tag name while scanning a tag: ws / >
  kAttrNameEnd = 0x08,    // ends an attribute name: ws / = > ?
  kUnquotedEnd = 0x10,    // ends an unquoted attribute value: ws >
  kNameDelimiter = 0x20,  // ends a name given by a caller: space / = [ ]
  kNameStart = 0x40,      // may follow "<" in a start tag: letters : _ and "{" upward
};

namespace detail {
constexpr std::uint8_t W = kWhitespace | kNameEnd | kTagNameEnd | kAttrNameEnd | kUnquotedEnd;
constexpr std::uint8_t S = W | kNameDelimiter;  // space is also a caller-name delimiter
constexpr std::uint8_t N = kNameStart;
constexpr std::uint8_t E = kNameEnd;
// clang-format off
constexpr std::uint8_t kTable[128] = {
  // 0x00 - 0x1F: only tab, LF and CR are whitespace
  0, 0, 0, 0, 0, 0, 0, 0, 0, W, W, 0, 0, W, 0, 0,
  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
  //  sp  !  "  #  $  %  &  '  (  )  *  +  ,  -  .  /
  S, E, E, 0, 0, 0, 0, E, 0, 0, 0, 0, 0, 0, 0,
  kNameEnd | kTagNameEnd | kAttrNameEnd | kNameDelimiter,
  //  0-9, :  ;  <  =  >  ?
  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, N, E, E,
  kNameEnd | kAttrNameEnd | kNameDelimiter,
  kNameEnd | kTagNameEnd | kAttrNameEnd | kUnquotedEnd,
  kNameEnd | kAttrNameEnd,
  //  @  A-O
  0, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N,
  //  P-Z  [  \  ]  ^  _
  N, N, N, N, N, N, N, N, N, N, N, kNameDelimiter, E, kNameDelimiter, 0, N,
  //  `  a-o
  0, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N,
  //  p-z  {  |  }  ~  DEL
  N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N,
};
// clang-format on
}  // namespace detail

inline bool IsClass(char16_t c, std::uint8_t cls) {
  if (c >= 128) return (cls & kNameStart) != 0;
  return (detail::kTable[c] & cls) != 0;
}

inline char16_t FoldAsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }
inline char16_t FoldAsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }

}  // namespace xml
}  // namespace kavrel
