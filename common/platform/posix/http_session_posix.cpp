// libcurl behind the HTTP session seam, with WinINet's meaning: no proxy
// (environment variables included), no cache, a connect time-out and a number
// of connection attempts, status never judged.
#include <curl/curl.h>
#include <unistd.h>

#include <ctime>
#include <mutex>
#include <string>

#include "common/platform/cookie_jar.h"
#include "common/platform/http_session.h"

namespace kavrel {

namespace {

// WinINet's own default is five attempts; a session that leaves the count to
// the platform gets the same here.
constexpr std::uint32_t kDefaultConnectAttempts = 5;

std::string ProgramName() {
  std::string path(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) return "kavrel";
  path.resize(static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
  std::string* body;
  std::size_t limit;  // kHttpWholeBody: no limit
  bool limitReached = false;
};

size_t Write(char* data, size_t size, size_t count, void* user) {
  Sink* sink = static_cast<Sink*>(user);
  const std::size_t n = size * count;
  if (sink->limit == kHttpWholeBody) {
    sink->body->append(data, n);
    return n;
  }
  const std::size_t room = sink->limit - sink->body->size();
  if (n >= room) {
    sink->body->append(data, room);
    sink->limitReached = true;
    return 0;  // ends the transfer: the rest is not read
  }
  sink->body->append(data, n);
  return n;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

class CurlSession final : public HttpSession {
 public:
  explicit CurlSession(const HttpSessionOptions& options)
      : options_(options),
        agent_(options.agent.empty() ? ProgramName() : TextToUtf8(options.agent)) {}

  HttpResult Get(const Text& url, std::size_t maxBytes, HttpTransfer) override {
    return Perform(TextToUtf8(url), nullptr, maxBytes);
  }

  HttpResult PostForm(const Text& host, std::uint16_t port, const Text& object,
                      const std::string& body) override {
    std::string path = TextToUtf8(object);
    if (path.empty() || path[0] != '/') path.insert(0, "/");
    const std::string url = "http://" + TextToUtf8(host) + ":" + std::to_string(port) + path;
    return Perform(url, &body, kHttpWholeBody);
  }

 private:
  HttpResult Perform(const std::string& url, const std::string* postBody, std::size_t maxBytes) {
    HttpResult result;
    const std::uint32_t attempts =
        options_.connectRetries == kHttpPlatformDefault
            ? kDefaultConnectAttempts
            : (options_.connectRetries == 0 ? 1 : options_.connectRetries);
    for (std::uint32_t attempt = 1;; ++attempt) {
      bool connectFailed = false;
      result = PerformOnce(url, postBody, maxBytes, connectFailed);
      if (result.ok || !connectFailed || attempt >= attempts) return result;
    }
  }

  HttpResult PerformOnce(const std::string& url, const std::string* postBody, std::size_t maxBytes,
                         bool& connectFailed) {
    HttpResult result;
    CurlHandle curl(curl_easy_init());
    if (!curl) {
      result.failure = "cannot open a session";
      return result;
    }
    CURL* c = curl.get();
    Sink sink{&result.body, maxBytes};
    char errorText[CURL_ERROR_SIZE] = {};
    Slist headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    if (headers) curl_slist_append(headers.get(), "Pragma: no-cache");
    if (postBody && headers)
      curl_slist_append(headers.get(), "Content-Type: application/x-www-form-urlencoded");

    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, agent_.c_str());
    curl_easy_setopt(c, CURLOPT_PROXY, "");     // direct: ignore http_proxy and friends
    curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // worker threads; no SIGALRM
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Write);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);  // as the system's URL opener does
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    if (options_.connectTimeoutMs != kHttpPlatformDefault)
      curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options_.connectTimeoutMs));
    if (options_.receiveTimeoutMs != kHttpPlatformDefault) {
      // A stall of the transfer, not its total length, as a receive time-out.
      curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
      curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME,
                       static_cast<long>((options_.receiveTimeoutMs + 999) / 1000));
    }
    if (postBody) {
      curl_easy_setopt(c, CURLOPT_POST, 1L);
      curl_easy_setopt(c, CURLOPT_POSTFIELDS, postBody->data());
      curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody->size()));
    }

    const CURLcode code = curl_easy_perform(c);
    if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && sink.limitReached)) {
      connectFailed = code == CURLE_COULDNT_CONNECT ||
                      (code == CURLE_OPERATION_TIMEDOUT && !HasConnected(c));
      result.failure = errorText[0] ? errorText : curl_easy_strerror(code);
      result.body.clear();
      return result;
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    result.ok = true;
    result.statusCode = static_cast<int>(status);
    return result;
  }

  static bool HasConnected(CURL* c) {
    curl_off_t connectTime = 0;
    return curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connectTime) == CURLE_OK &&
           connectTime > 0;
  }

  HttpSessionOptions options_;
  std::string agent_;
};

class CurlPlatform final : public HttpPlatform {
 public:
  std::unique_ptr<HttpSession> Open(const HttpSessionOptions& options) override {
    GlobalInit();
    return std::make_unique<CurlSession>(options);
  }
  bool SetCookie(const Text& url, const Text& name, const Text& data) override {
    return jar_.Set(url, name, data, static_cast<std::int64_t>(std::time(nullptr)));
  }
  Text GetCookies(const Text& url) override { return jar_.Get(url); }

 private:
  CookieJar jar_;
};

}  // namespace

HttpPlatform& RealHttpPlatform() {
  // Never destroyed: worker threads may still hold it at exit.
  static CurlPlatform* platform = new CurlPlatform();
  return *platform;
}

}  // namespace kavrel
