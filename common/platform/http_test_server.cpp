#include "common/platform/http_test_server.h"

#include <cctype>
#include <cstdlib>

namespace kavrel {

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool SendAll(StreamSocket& socket, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const long n = socket.Send(data.data() + sent, data.size() - sent);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

}  // namespace

TestHttpServer::TestHttpServer(Handler handler) : handler_(std::move(handler)) {
  StartSocketLibrary();
  if (!listener_.Listen(0)) return;
  port_ = listener_.Port();
  thread_ = std::thread([this] { Serve(); });
}

TestHttpServer::~TestHttpServer() {
  stopping_ = true;
  if (thread_.joinable()) {
    // Wake the accepting thread with a connection of our own.
    StreamSocket wake;
    if (wake.Open()) wake.Connect(kLoopback, port_);
    thread_.join();
  }
  listener_.Close();
}

std::string TestHttpServer::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + target;
}

std::vector<TestHttpRequest> TestHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void TestHttpServer::Serve() {
  for (;;) {
    StreamSocket connection;
    if (!listener_.Accept(connection) || stopping_) return;
    Answer(connection);
    connection.Close();
  }
}

void TestHttpServer::Answer(StreamSocket& connection) {
  std::string data;
  char buffer[4096];
  std::size_t headerEnd = std::string::npos;
  while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
    const long n = connection.Receive(buffer, sizeof buffer);
    if (n <= 0) return;
    data.append(buffer, static_cast<std::size_t>(n));
  }
  TestHttpRequest request;
  const std::string head = data.substr(0, headerEnd);
  std::size_t lineEnd = head.find("\r\n");
  const std::string requestLine = head.substr(0, lineEnd);
  const std::size_t space1 = requestLine.find(' ');
  const std::size_t space2 = requestLine.find(' ', space1 + 1);
  if (space1 == std::string::npos || space2 == std::string::npos) return;
  request.method = requestLine.substr(0, space1);
  request.target = requestLine.substr(space1 + 1, space2 - space1 - 1);
  while (lineEnd != std::string::npos) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos
                                                                             : lineEnd - start);
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::size_t valueStart = colon + 1;
    while (valueStart < line.size() && line[valueStart] == ' ') ++valueStart;
    request.headers[Lower(line.substr(0, colon))] = line.substr(valueStart);
  }
  request.body = data.substr(headerEnd + 4);
  const auto length = request.headers.find("content-length");
  const std::size_t want =
      length == request.headers.end() ? 0 : std::strtoul(length->second.c_str(), nullptr, 10);
  while (request.body.size() < want) {
    const long n = connection.Receive(buffer, sizeof buffer);
    if (n <= 0) break;
    request.body.append(buffer, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  const TestHttpResponse response = handler_(request);
  std::string reply = "HTTP/1.1 " + std::to_string(response.status) + " " +
                      Reason(response.status) + "\r\nContent-Length: " +
                      std::to_string(response.body.size()) +
                      "\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n";
  if (request.method != "HEAD") reply += response.body;
  SendAll(connection, reply);
}

}  // namespace kavrel
