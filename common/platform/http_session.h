// The HTTP session seam: every HTTP request of the client goes through it.
//
// A session is opened with an agent name, direct access (never a proxy, not
// even one configured in the system), a connect time-out and a number of
// connect attempts; it then makes GETs that bypass every cache, reading the
// whole body or at most a given number of bytes, and form POSTs. Windows uses
// WinINet, Linux libcurl. Whatever goes wrong (no session, a refused or timed
// out connection, a broken transfer) is the one failure value `ok == false`;
// the HTTP status is reported but never judged: an error page is a body like
// any other.
//
// The web-session cookie store sits behind the same seam: the system's
// cookie store on Windows, a process-wide store on Linux that tests and tools
// can read back.
//
// Tests replace the whole seam with SetHttpPlatform (FakeHttp in
// fake_http.h answers from a table). Sessions and the platform object are
// safe to use from any thread; one session object belongs to one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/platform/text.h"

namespace kavrel {

// Marks an option the caller leaves to the platform's own default.
constexpr std::uint32_t kHttpPlatformDefault = 0xFFFFFFFFu;

struct HttpSessionOptions {
  // The User-Agent. Empty: the program's own name (its file name without the
  // extension), which is what the platform layer supplies by default.
  Text agent;
  std::uint32_t connectTimeoutMs = kHttpPlatformDefault;
  // How many times a connection is attempted (WinINet's "connect retries").
  std::uint32_t connectRetries = kHttpPlatformDefault;
  // How long a started transfer may stall. The system itself never sets it;
  // tests do, to meet a silent server quickly.
  std::uint32_t receiveTimeoutMs = kHttpPlatformDefault;
};

// Read the body to its end.
constexpr std::size_t kHttpWholeBody = 0;

// How a GET body travels. kText is the service requests' "ASCII" transfer;
// the bytes arrive unchanged either way (HTTP does not translate them).
enum class HttpTransfer { kText, kBinary };

struct HttpResult {
  bool ok = false;        // false: the one failure, whatever caused it
  int statusCode = 0;     // the HTTP status when ok
  std::string body;       // the body bytes as they arrived
  std::string failure;    // for people reading logs and tests; never parsed
};

class HttpSession {
 public:
  virtual ~HttpSession() = default;

  // GET `url`, always from the server (the request neither uses nor fills
  // a cache). `maxBytes` kHttpWholeBody reads to the end; any other value
  // makes one read of at most that many bytes, and the rest is not read.
  virtual HttpResult Get(const Text& url, std::size_t maxBytes = kHttpWholeBody,
                         HttpTransfer transfer = HttpTransfer::kText) = 0;

  // POST `body` to http://host:port/object with the header
  // "Content-Type: application/x-www-form-urlencoded", bypassing caches.
  // The answer body is read whole.
  virtual HttpResult PostForm(const Text& host, std::uint16_t port, const Text& object,
                              const std::string& body) = 0;
};

class HttpPlatform {
 public:
  virtual ~HttpPlatform() = default;

  // Never null: a session that could not be opened fails every request.
  virtual std::unique_ptr<HttpSession> Open(const HttpSessionOptions& options) = 0;

  // Stores cookie `name` for the host of `url`. `data` is the value,
  // optionally followed by attributes (";expires=..."); an expiry in the past
  // removes the cookie. False when the store refused it.
  virtual bool SetCookie(const Text& url, const Text& name, const Text& data) = 0;

  // The cookies that a request to `url` would carry, as "a=1; b=2"; empty
  // when there are none.
  virtual Text GetCookies(const Text& url) = 0;
};

// The platform in use: the real one unless a test replaced it.
HttpPlatform& Http();

// Makes Http() answer `platform` (not owned; it must outlive its use);
// nullptr restores the real platform.
void SetHttpPlatform(HttpPlatform* platform);

// The real implementation of this build, whatever SetHttpPlatform chose.
HttpPlatform& RealHttpPlatform();

}  // namespace kavrel
