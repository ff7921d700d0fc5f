// The code-page seam: every conversion between bytes and Text.
//
// Code pages are Windows code page numbers (1252, 949, 51949, 65001, ...).
// On Windows the system converts (MultiByteToWideChar/WideCharToMultiByte);
// on Linux iconv does, under the same numbers. UTF-16 (1200, 1201) is handled
// here in both builds, since the Windows functions do not take it.
//
// All functions are thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "common/platform/text.h"

namespace kavrel {

constexpr unsigned kCodePageAnsi = 0;  // the process's ANSI code page
constexpr unsigned kCodePageUtf16Le = 1200;
constexpr unsigned kCodePageUtf16Be = 1201;
constexpr unsigned kCodePageUtf8 = 65001;

// Bytes in `codePage` to UTF-16. Bytes that are invalid in the code page
// become U+FFFD; a truncated sequence at the end becomes U+FFFD. An unknown
// code page gives the empty text.
Text BytesToText(std::string_view bytes, unsigned codePage);

// UTF-16 to bytes in `codePage`. Characters the code page cannot represent
// become '?'. An unknown code page gives the empty string.
std::string TextToBytes(TextView text, unsigned codePage);

// True when conversions in `codePage` are available on this machine.
bool IsCodePageSupported(unsigned codePage);

// The number kCodePageAnsi stands for. On Windows the system's (GetACP);
// on Linux a process-wide setting, 1252 unless SetAnsiCodePage changed it.
unsigned AnsiCodePage();

// Linux only: choose the ANSI code page (tests use it to play a Korean or a
// Western system). Returns false, changing nothing, on Windows or for an
// unsupported code page.
bool SetAnsiCodePage(unsigned codePage);

}  // namespace kavrel
