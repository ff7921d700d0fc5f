// A minimal HTTP/1.1 server on loopback for tests of the HTTP seam, built on
// the stream-socket seam so that it runs natively and under Wine. It serves
// one connection at a time, closes each connection after its answer, and
// records the requests it received.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/stream_socket.h"

namespace kavrel {

struct TestHttpRequest {
  std::string method;
  std::string target;                         // path and query as sent
  std::map<std::string, std::string> headers; // names lower-cased
  std::string body;
};

struct TestHttpResponse {
  int status = 200;
  std::string body;
};

class TestHttpServer {
 public:
  using Handler = std::function<TestHttpResponse(const TestHttpRequest&)>;

  // Starts listening on a free loopback port; Port() is 0 if that failed.
  explicit TestHttpServer(Handler handler);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  std::uint16_t Port() const { return port_; }
  std::string Url(const std::string& target) const;
  std::vector<TestHttpRequest> Requests() const;

 private:
  void Serve();
  void Answer(StreamSocket& connection);

  Handler handler_;
  StreamListener listener_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<TestHttpRequest> requests_;
  std::thread thread_;
};

}  // namespace kavrel
