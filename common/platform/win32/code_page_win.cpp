// Code pages through the system's conversion functions.
#include <windows.h>

#include "common/platform/code_page_internal.h"

namespace kavrel {
namespace {

constexpr UINT kEucKr = 51949;
constexpr UINT kUnifiedHangul = 949;

// The system code page number for `codePage`. EUC-KR is a subset of the
// unified Hangul code page, so where the system lacks 51949 (Wine does), 949
// reads every EUC-KR byte sequence the same way.
UINT SystemCodePage(unsigned codePage) {
  if (codePage == kCodePageAnsi) return CP_ACP;
  if (codePage == kEucKr && !IsValidCodePage(kEucKr)) return kUnifiedHangul;
  return codePage;
}

}  // namespace

Text BytesToText(std::string_view bytes, unsigned codePage) {
  if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be)
    return internal::Utf16BytesToText(bytes, codePage == kCodePageUtf16Be);
  if (bytes.empty()) return Text();
  const UINT cp = SystemCodePage(codePage);
  Text out;
  const int n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return Text();
  out.resize(static_cast<size_t>(n));
  MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), AsWide(out), n);
  return out;
}

std::string TextToBytes(TextView text, unsigned codePage) {
  if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be)
    return internal::TextToUtf16Bytes(text, codePage == kCodePageUtf16Be);
  if (text.empty()) return std::string();
  const UINT cp = SystemCodePage(codePage);
  const wchar_t* src = reinterpret_cast<const wchar_t*>(text.data());
  const int len = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(cp, 0, src, len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, src, len, out.data(), n, nullptr, nullptr);
  return out;
}

bool IsCodePageSupported(unsigned codePage) {
  if (codePage == kCodePageAnsi || codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be)
    return true;
  return IsValidCodePage(SystemCodePage(codePage)) != 0;
}

unsigned AnsiCodePage() { return GetACP(); }

bool SetAnsiCodePage(unsigned) { return false; }

}  // namespace kavrel
