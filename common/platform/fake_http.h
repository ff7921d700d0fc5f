// A fake HTTP platform for tests: answers from a table and records every
// request and cookie write. Constructing one puts it in place of the real
// platform (SetHttpPlatform); destroying it puts the real one back. Thread-
// safe, so workers under test may use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/platform/cookie_jar.h"
#include "common/platform/http_session.h"

namespace kavrel {

struct FakeHttpRequest {
  HttpSessionOptions options;  // of the session that made it
  bool post = false;
  Text url;                    // for a POST: "http://host:port/object"
  std::size_t maxBytes = kHttpWholeBody;
  HttpTransfer transfer = HttpTransfer::kText;
  std::string body;            // POST body
};

struct FakeCookieWrite {
  Text url;
  Text name;
  Text data;
};

class FakeHttp final : public HttpPlatform {
 public:
  using Responder = std::function<HttpResult(const FakeHttpRequest&)>;

  FakeHttp();
  ~FakeHttp() override;
  FakeHttp(const FakeHttp&) = delete;
  FakeHttp& operator=(const FakeHttp&) = delete;

  // Requests whose address starts with `prefix` (the longest matching prefix
  // wins) get these answers in turn; the last one repeats. An address that
  // no prefix matches fails like a refused connection.
  void Answer(const Text& prefix, const std::string& body, int statusCode = 200);
  void Fail(const Text& prefix);
  void Respond(const Text& prefix, Responder responder);
  // Forgets the answers for `prefix` (and only those).
  void Forget(const Text& prefix);

  std::vector<FakeHttpRequest> Requests() const;
  // The addresses requested so far that start with `prefix`.
  std::vector<Text> RequestedUrls(const Text& prefix = Text()) const;
  std::vector<FakeCookieWrite> CookieWrites() const;
  void ClearRecords();

  std::unique_ptr<HttpSession> Open(const HttpSessionOptions& options) override;
  bool SetCookie(const Text& url, const Text& name, const Text& data) override;
  Text GetCookies(const Text& url) override;

  // Called by the fake's sessions.
  HttpResult Handle(FakeHttpRequest request);

 private:
  struct Route {
    Text prefix;
    std::deque<Responder> answers;
  };

  void Add(const Text& prefix, Responder responder);

  mutable std::mutex mutex_;
  std::vector<Route> routes_;
  std::vector<FakeHttpRequest> requests_;
  std::vector<FakeCookieWrite> cookieWrites_;
  CookieJar jar_;
};

// The result of a request that reached a server.
HttpResult HttpAnswer(const std::string& body, int statusCode = 200);

}  // namespace kavrel
