// The stream-socket seam: blocking IPv4 TCP connections and host lookup, for
// the updater's own HTTP client. Winsock on Windows, BSD sockets elsewhere.
//
// A StreamSocket owns its socket and closes it when destroyed; it is used by
// one thread at a time. Failures are values, no call throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kavrel {

// Starts the socket library once for the process (WSAStartup on Windows;
// nothing elsewhere). Safe to call more than once. True when sockets work.
bool StartSocketLibrary();

// Looks `host` up (a name or a dotted address, in bytes) and answers its
// first IPv4 address in host byte order, or 0 when it cannot be found.
std::uint32_t LookUpIpv4(const std::string& host);

class StreamSocket {
 public:
  StreamSocket() = default;
  ~StreamSocket();
  StreamSocket(StreamSocket&& other) noexcept;
  StreamSocket& operator=(StreamSocket&& other) noexcept;
  StreamSocket(const StreamSocket&) = delete;
  StreamSocket& operator=(const StreamSocket&) = delete;

  // Creates a fresh IPv4 stream socket, closing any previous one.
  bool Open();
  bool IsOpen() const { return handle_ != kNone; }
  // Connects to `address` (host byte order) and `port` with the platform's
  // default time-outs.
  bool Connect(std::uint32_t address, std::uint16_t port);
  // One send call: the number of bytes sent, or -1 on failure.
  long Send(const char* data, std::size_t size);
  // One receive call: bytes received, 0 when the peer closed, -1 on failure.
  long Receive(char* buffer, std::size_t size);
  // Shuts both directions down and closes the socket; harmless when closed.
  void Close();

 private:
  friend class StreamListener;
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;
};

// A listening socket on the loopback address, for local peers (the test
// servers of the download client). Closes itself when destroyed.
class StreamListener {
 public:
  StreamListener() = default;
  ~StreamListener();
  StreamListener(const StreamListener&) = delete;
  StreamListener& operator=(const StreamListener&) = delete;

  // Listens on 127.0.0.1:`port`; port 0 lets the system choose.
  bool Listen(std::uint16_t port = 0);
  // The port listened on, 0 when not listening.
  std::uint16_t Port() const { return port_; }
  // Waits for the next connection; false when the listener fails or closes.
  bool Accept(StreamSocket& connection);
  void Close();

 private:
  std::intptr_t handle_ = StreamSocket::kNone;
  std::uint16_t port_ = 0;
};

}  // namespace kavrel
