#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <mutex>

#include "common/platform/stream_socket.h"

namespace kavrel {
namespace {

SOCKET AsSocket(std::intptr_t h) { return static_cast<SOCKET>(h); }

}  // namespace

bool StartSocketLibrary() {
  // Started once and never cleaned up: worker threads may still hold sockets
  // when the process ends.
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::uint32_t LookUpIpv4(const std::string& host) {
  if (host.empty() || !StartSocketLibrary()) return 0;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return 0;
  std::uint32_t address = 0;
  for (const addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr) {
      address = ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
      break;
    }
  }
  freeaddrinfo(found);
  return address;
}

bool StreamSocket::Open() {
  Close();
  if (!StartSocketLibrary()) return false;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  handle_ = static_cast<std::intptr_t>(s);
  return true;
}

bool StreamSocket::Connect(std::uint32_t address, std::uint16_t port) {
  if (!IsOpen()) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  return connect(AsSocket(handle_), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
}

long StreamSocket::Send(const char* data, std::size_t size) {
  if (!IsOpen()) return -1;
  const int n = send(AsSocket(handle_), data, static_cast<int>(std::min<std::size_t>(size, 1 << 30)), 0);
  return n == SOCKET_ERROR ? -1 : n;
}

long StreamSocket::Receive(char* buffer, std::size_t size) {
  if (!IsOpen()) return -1;
  const int n = recv(AsSocket(handle_), buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 30)), 0);
  return n == SOCKET_ERROR ? -1 : n;
}

void StreamSocket::Close() {
  if (!IsOpen()) return;
  shutdown(AsSocket(handle_), SD_BOTH);
  closesocket(AsSocket(handle_));
  handle_ = kNone;
}

StreamListener::~StreamListener() { Close(); }

bool StreamListener::Listen(std::uint16_t port) {
  Close();
  if (!StartSocketLibrary()) return false;
  const SOCKET fd = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (fd == INVALID_SOCKET) return false;
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof at;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
    closesocket(fd);
    return false;
  }
  handle_ = static_cast<std::intptr_t>(fd);
  port_ = ntohs(at.sin_port);
  return true;
}

bool StreamListener::Accept(StreamSocket& connection) {
  if (handle_ == StreamSocket::kNone) return false;
  const SOCKET fd = accept(AsSocket(handle_), nullptr, nullptr);
  if (fd == INVALID_SOCKET) return false;
  connection.Close();
  connection.handle_ = static_cast<std::intptr_t>(fd);
  return true;
}

void StreamListener::Close() {
  if (handle_ == StreamSocket::kNone) return;
  // Shutting down first wakes a thread blocked in Accept.
  shutdown(AsSocket(handle_), SD_BOTH);
  closesocket(AsSocket(handle_));
  handle_ = StreamSocket::kNone;
  port_ = 0;
}

}  // namespace kavrel
