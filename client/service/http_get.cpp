#include "client/service/http_get.h"

#include <limits>
#include <string>

#include "common/platform/code_page.h"
#include "common/platform/http_session.h"
#include "common/text/text_table.h"

namespace kavrel {

namespace {

HttpResult Fetch(const Text& url, std::size_t maxBytes, std::uint32_t connectTimeoutMs,
                 std::uint32_t connectRetries) {
  HttpSessionOptions options;
  options.agent = kServiceAgent;
  options.connectTimeoutMs = connectTimeoutMs;
  options.connectRetries = connectRetries;
  std::unique_ptr<HttpSession> session = Http().Open(options);
  return session->Get(url, maxBytes, HttpTransfer::kText);
}

void SetNetworkError(Text& error) { error = TextTable::Instance().Lookup(u"LOGIN_NETWORK_ERROR"); }

Text UpToNul(Text text) {
  const std::size_t nul = text.find(u'\0');
  if (nul != Text::npos) text.resize(nul);
  return text;
}

}  // namespace

bool HttpGetText(const Text& url, Text& answer, Text& error, std::uint32_t connectTimeoutMs,
                 std::uint32_t connectRetries) {
  const HttpResult result = Fetch(url, kHttpWholeBody, connectTimeoutMs, connectRetries);
  if (!result.ok) {
    SetNetworkError(error);
    return false;
  }
  // The body is read as lines and joined: no line break survives, and no
  // answer of the service depends on one.
  std::string joined;
  joined.reserve(result.body.size());
  for (char c : result.body)
    if (c != '\r' && c != '\n') joined += c;
  if (!joined.empty()) answer = UpToNul(BytesToText(joined, kCodePageUtf8));
  return true;
}

bool HttpGetRaw(const Text& url, Text& answer, Text& error, std::uint32_t connectTimeoutMs,
                std::uint32_t connectRetries) {
  const HttpResult result = Fetch(url, kRawReadLimit, connectTimeoutMs, connectRetries);
  if (!result.ok) {
    SetNetworkError(error);
    return false;
  }
  std::string bytes = result.body;
  const std::size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  answer = BytesToText(bytes, kCodePageAnsi);
  return true;
}

std::int32_t AnswerInteger(TextView text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  std::int64_t value = 0;
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                      : std::numeric_limits<std::int32_t>::max();
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > limit) value = limit;  // keeps the value small; the result is the limit
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

}  // namespace kavrel
