#include <windows.h>

#include <vector>

#include "common/platform/last_error.h"

namespace kavrel {

unsigned long LastErrorNumber() { return GetLastError(); }

Text ErrorMessage(unsigned long error, std::size_t maxLength) {
  if (error == 0 || maxLength == 0) return Text();
  std::vector<wchar_t> buffer(maxLength, L'\0');
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 error, 0, buffer.data(), static_cast<DWORD>(maxLength), nullptr);
  if (n == 0) return Text();  // no message, or it does not fit
  Text text = FromWide(buffer.data(), n);
  const std::size_t cut = text.find_first_of(u"\r\n");
  if (cut != Text::npos) text.resize(cut);
  return text;
}

}  // namespace kavrel
