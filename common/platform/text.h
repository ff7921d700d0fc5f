// The one text type of the system: UTF-16 in every build.
//
// On Windows wchar_t is 16-bit, so a Text crosses the Win32 boundary with a
// free cast (AsWide / FromWide). On Linux wchar_t is 32-bit and is never used
// for the system's texts.
#pragma once

#include <string>
#include <string_view>

namespace kavrel {

using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 <-> UTF-16 without any platform call. Invalid UTF-8 becomes U+FFFD
// (one per maximal invalid subsequence); unpaired surrogates become U+FFFD.
Text Utf8ToText(std::string_view utf8);
std::string TextToUtf8(TextView text);

// ASCII-only helpers for literals and numbers in protocol text.
Text AsciiToText(std::string_view ascii);

}  // namespace kavrel

#ifdef _WIN32
namespace kavrel {
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is UTF-16");
inline const wchar_t* AsWide(const Text& t) { return reinterpret_cast<const wchar_t*>(t.c_str()); }
inline wchar_t* AsWide(Text& t) { return reinterpret_cast<wchar_t*>(t.data()); }
inline Text FromWide(const wchar_t* s) { return s ? Text(reinterpret_cast<const char16_t*>(s)) : Text(); }
inline Text FromWide(const wchar_t* s, size_t n) { return Text(reinterpret_cast<const char16_t*>(s), n); }
}  // namespace kavrel
#endif
