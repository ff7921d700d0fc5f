#include "common/platform/fake_http.h"

#include <ctime>
#include <utility>

namespace kavrel {

namespace {

class FakeSession final : public HttpSession {
 public:
  FakeSession(FakeHttp& owner, const HttpSessionOptions& options)
      : owner_(owner), options_(options) {}

  HttpResult Get(const Text& url, std::size_t maxBytes, HttpTransfer transfer) override {
    FakeHttpRequest request;
    request.options = options_;
    request.url = url;
    request.maxBytes = maxBytes;
    request.transfer = transfer;
    return owner_.Handle(std::move(request));
  }

  HttpResult PostForm(const Text& host, std::uint16_t port, const Text& object,
                      const std::string& body) override {
    FakeHttpRequest request;
    request.options = options_;
    request.post = true;
    Text path = object;
    if (path.empty() || path[0] != u'/') path.insert(0, u"/");
    request.url = u"http://" + host + u":" + AsciiToText(std::to_string(port)) + path;
    request.body = body;
    return owner_.Handle(std::move(request));
  }

 private:
  FakeHttp& owner_;
  HttpSessionOptions options_;
};

bool StartsWith(const Text& text, const Text& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

HttpResult HttpAnswer(const std::string& body, int statusCode) {
  HttpResult result;
  result.ok = true;
  result.statusCode = statusCode;
  result.body = body;
  return result;
}

FakeHttp::FakeHttp() { SetHttpPlatform(this); }
FakeHttp::~FakeHttp() { SetHttpPlatform(nullptr); }

void FakeHttp::Add(const Text& prefix, Responder responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Route& route : routes_) {
    if (route.prefix == prefix) {
      route.answers.push_back(std::move(responder));
      return;
    }
  }
  routes_.push_back({prefix, {std::move(responder)}});
}

void FakeHttp::Answer(const Text& prefix, const std::string& body, int statusCode) {
  Add(prefix, [body, statusCode](const FakeHttpRequest&) { return HttpAnswer(body, statusCode); });
}

void FakeHttp::Fail(const Text& prefix) {
  Add(prefix, [](const FakeHttpRequest&) {
    HttpResult result;
    result.failure = "connection refused (fake)";
    return result;
  });
}

void FakeHttp::Respond(const Text& prefix, Responder responder) { Add(prefix, std::move(responder)); }

void FakeHttp::Forget(const Text& prefix) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = routes_.begin(); it != routes_.end(); ++it) {
    if (it->prefix == prefix) {
      routes_.erase(it);
      return;
    }
  }
}

HttpResult FakeHttp::Handle(FakeHttpRequest request) {
  Responder responder;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    Route* best = nullptr;
    for (Route& route : routes_)
      if (StartsWith(request.url, route.prefix) &&
          (!best || route.prefix.size() > best->prefix.size()))
        best = &route;
    if (best && !best->answers.empty()) {
      responder = best->answers.front();
      if (best->answers.size() > 1) best->answers.pop_front();
    }
  }
  if (!responder) {
    HttpResult result;
    result.failure = "no server at this address (fake)";
    return result;
  }
  HttpResult result = responder(request);
  if (!result.ok) {
    result.body.clear();
  } else if (request.maxBytes != kHttpWholeBody && result.body.size() > request.maxBytes) {
    result.body.resize(request.maxBytes);
  }
  return result;
}

std::vector<FakeHttpRequest> FakeHttp::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<Text> FakeHttp::RequestedUrls(const Text& prefix) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Text> urls;
  for (const FakeHttpRequest& r : requests_)
    if (StartsWith(r.url, prefix)) urls.push_back(r.url);
  return urls;
}

std::vector<FakeCookieWrite> FakeHttp::CookieWrites() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cookieWrites_;
}

void FakeHttp::ClearRecords() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
  cookieWrites_.clear();
}

std::unique_ptr<HttpSession> FakeHttp::Open(const HttpSessionOptions& options) {
  return std::make_unique<FakeSession>(*this, options);
}

bool FakeHttp::SetCookie(const Text& url, const Text& name, const Text& data) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cookieWrites_.push_back({url, name, data});
  }
  return jar_.Set(url, name, data, static_cast<std::int64_t>(std::time(nullptr)));
}

Text FakeHttp::GetCookies(const Text& url) { return jar_.Get(url); }

}  // namespace kavrel
