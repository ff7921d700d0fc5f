#include <cerrno>
#include <cstring>

#include "common/platform/last_error.h"

namespace kavrel {

unsigned long LastErrorNumber() { return static_cast<unsigned long>(errno); }

Text ErrorMessage(unsigned long error, std::size_t maxLength) {
  if (error == 0) return Text();
  char buffer[256] = {};
  // The GNU strerror_r may return a static string instead of filling buffer.
  const char* message = strerror_r(static_cast<int>(error), buffer, sizeof buffer);
  if (!message) return Text();
  std::string text(message);
  const std::size_t cut = text.find_first_of("\r\n");
  if (cut != std::string::npos) text.resize(cut);
  if (text.size() >= maxLength) return Text();
  return Utf8ToText(text);
}

}  // namespace kavrel
