// A raw-socket HTTP server on loopback for the download client's tests: it
// reads each request up to its blank line, records it, and plays the answer
// script given for it, byte for byte, with pauses where asked.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/stream_socket.h"

namespace kavrel {

class TestHttpServer {
 public:
  // A piece of an answer: bytes to send, then a pause.
  struct Piece {
    std::string bytes;
    int pauseMs = 0;
  };
  using Script = std::function<std::vector<Piece>(const std::string& request)>;

  explicit TestHttpServer(Script script) : script_(std::move(script)) {
    StartSocketLibrary();
    listening_ = listener_.Listen(0);
    if (listening_) thread_ = std::thread([this] { Run(); });
  }
  ~TestHttpServer() {
    listener_.Close();
    if (thread_.joinable()) thread_.join();
  }

  bool ok() const { return listening_; }
  unsigned short port() const { return listener_.Port(); }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port()) + path;
  }
  std::vector<std::string> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

  // An answer with status 200 and the given extra header lines.
  static std::vector<Piece> Answer(const std::string& body, const std::string& headers = "") {
    return {{"HTTP/1.1 200 OK\r\n" + headers + "\r\n" + body}};
  }

 private:
  void Run() {
    for (;;) {
      StreamSocket connection;
      if (!listener_.Accept(connection)) return;
      std::string request;
      char buffer[2048];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const long n = connection.Receive(buffer, sizeof buffer);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
      }
      for (const Piece& piece : script_(request)) {
        size_t done = 0;
        while (done < piece.bytes.size()) {
          const long n = connection.Send(piece.bytes.data() + done, piece.bytes.size() - done);
          if (n <= 0) break;
          done += static_cast<size_t>(n);
        }
        if (piece.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(piece.pauseMs));
      }
      connection.Close();
    }
  }

  Script script_;
  StreamListener listener_;
  bool listening_ = false;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
};

}  // namespace kavrel
