// WinINet behind the HTTP session seam. The flags are the ones the service
// protocol was built with: a direct session, GETs with INTERNET_FLAG_RELOAD |
// INTERNET_FLAG_NO_CACHE_WRITE (plus INTERNET_FLAG_TRANSFER_ASCII for the
// service's text answers: 0x84000001), context value 1, no extra headers.
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "common/platform/http_session.h"

namespace kavrel {

namespace {

constexpr DWORD_PTR kContext = 1;
constexpr DWORD kGetFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kTextGetFlags = kGetFlags | INTERNET_FLAG_TRANSFER_ASCII;
static_assert(kTextGetFlags == 0x84000001, "the service requests' flags");
constexpr DWORD kPostFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kReadChunk = 16 * 1024;
const wchar_t kFormHeader[] = L"Content-Type: application/x-www-form-urlencoded\r\n";

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET h = nullptr) : h_(h) {}
  ~InternetHandle() {
    if (h_) InternetCloseHandle(h_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HINTERNET h_;
};

std::string LastErrorText(const char* step) {
  return std::string(step) + " failed (" + std::to_string(GetLastError()) + ")";
}

Text ProgramName() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  Text name = FromWide(path, n < MAX_PATH ? n : 0);
  const std::size_t slash = name.find_last_of(u"\\/");
  if (slash != Text::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.rfind(u'.');
  if (dot != Text::npos && dot > 0) name.resize(dot);
  return name.empty() ? Text(u"kavrel") : name;
}

// The status code of an open request; 0 when the server sent none.
int StatusCode(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                      nullptr))
    return 0;
  return static_cast<int>(status);
}

bool ReadWhole(HINTERNET request, std::string& body) {
  std::string chunk(kReadChunk, '\0');
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request, chunk.data(), kReadChunk, &got)) return false;
    if (got == 0) return true;
    body.append(chunk.data(), got);
  }
}

bool ReadOnce(HINTERNET request, std::size_t maxBytes, std::string& body) {
  body.assign(maxBytes, '\0');
  DWORD got = 0;
  const DWORD want = maxBytes > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<DWORD>(maxBytes);
  if (!InternetReadFile(request, body.data(), want, &got)) {
    body.clear();
    return false;
  }
  body.resize(got);
  return true;
}

class WinInetSession final : public HttpSession {
 public:
  explicit WinInetSession(const HttpSessionOptions& options) {
    const Text agent = options.agent.empty() ? ProgramName() : options.agent;
    session_ = std::make_unique<InternetHandle>(
        InternetOpenW(AsWide(agent), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!*session_) {
      openFailure_ = LastErrorText("InternetOpen");
      return;
    }
    SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, options.connectTimeoutMs);
    SetOption(INTERNET_OPTION_CONNECT_RETRIES, options.connectRetries);
    SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, options.receiveTimeoutMs);
  }

  HttpResult Get(const Text& url, std::size_t maxBytes, HttpTransfer transfer) override {
    HttpResult result;
    if (!*session_) {
      result.failure = openFailure_;
      return result;
    }
    const DWORD flags = transfer == HttpTransfer::kText ? kTextGetFlags : kGetFlags;
    InternetHandle request(
        InternetOpenUrlW(session_->get(), AsWide(url), nullptr, 0, flags, kContext));
    if (!request) {
      result.failure = LastErrorText("InternetOpenUrl");
      return result;
    }
    const bool read = maxBytes == kHttpWholeBody ? ReadWhole(request.get(), result.body)
                                                 : ReadOnce(request.get(), maxBytes, result.body);
    if (!read) {
      result.body.clear();
      result.failure = LastErrorText("InternetReadFile");
      return result;
    }
    result.statusCode = StatusCode(request.get());
    result.ok = true;
    return result;
  }

  HttpResult PostForm(const Text& host, std::uint16_t port, const Text& object,
                      const std::string& body) override {
    HttpResult result;
    if (!*session_) {
      result.failure = openFailure_;
      return result;
    }
    InternetHandle connection(InternetConnectW(session_->get(), AsWide(host), port, nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, kContext));
    if (!connection) {
      result.failure = LastErrorText("InternetConnect");
      return result;
    }
    Text path = object;
    if (path.empty() || path[0] != u'/') path.insert(0, u"/");
    InternetHandle request(HttpOpenRequestW(connection.get(), L"POST", AsWide(path), nullptr,
                                            nullptr, nullptr, kPostFlags, kContext));
    if (!request) {
      result.failure = LastErrorText("HttpOpenRequest");
      return result;
    }
    std::string payload = body;  // HttpSendRequest takes a non-const buffer
    if (!HttpSendRequestW(request.get(), kFormHeader, static_cast<DWORD>(-1), payload.data(),
                          static_cast<DWORD>(payload.size()))) {
      result.failure = LastErrorText("HttpSendRequest");
      return result;
    }
    if (!ReadWhole(request.get(), result.body)) {
      result.body.clear();
      result.failure = LastErrorText("InternetReadFile");
      return result;
    }
    result.statusCode = StatusCode(request.get());
    result.ok = true;
    return result;
  }

 private:
  void SetOption(DWORD option, std::uint32_t value) {
    if (value == kHttpPlatformDefault) return;
    DWORD v = value;
    InternetSetOptionW(session_->get(), option, &v, sizeof(v));
  }

  std::unique_ptr<InternetHandle> session_;
  std::string openFailure_;
};

class WinInetPlatform final : public HttpPlatform {
 public:
  std::unique_ptr<HttpSession> Open(const HttpSessionOptions& options) override {
    return std::make_unique<WinInetSession>(options);
  }

  bool SetCookie(const Text& url, const Text& name, const Text& data) override {
    return InternetSetCookieW(AsWide(url), AsWide(name), AsWide(data)) != FALSE;
  }

  Text GetCookies(const Text& url) override {
    DWORD size = 0;
    if (!InternetGetCookieW(AsWide(url), nullptr, nullptr, &size) || size == 0) return Text();
    // The needed size comes back in bytes on some systems and in characters
    // on others, while the buffer size is given in characters: a buffer of
    // `size` characters is enough in both cases.
    std::wstring buffer(size + 1, L'\0');
    DWORD chars = static_cast<DWORD>(buffer.size());
    if (!InternetGetCookieW(AsWide(url), nullptr, buffer.data(), &chars)) return Text();
    return FromWide(buffer.c_str());
  }
};

}  // namespace

HttpPlatform& RealHttpPlatform() {
  // Never destroyed: worker threads may still hold it at exit.
  static WinInetPlatform* platform = new WinInetPlatform();
  return *platform;
}

}  // namespace kavrel
