#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "common/platform/stream_socket.h"

namespace kavrel {

bool StartSocketLibrary() { return true; }

std::uint32_t LookUpIpv4(const std::string& host) {
  if (host.empty()) return 0;
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
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

bool StreamSocket::Connect(std::uint32_t address, std::uint16_t port) {
  if (!IsOpen()) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  int rc;
  do {
    rc = connect(static_cast<int>(handle_), reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

long StreamSocket::Send(const char* data, std::size_t size) {
  if (!IsOpen()) return -1;
  ssize_t n;
  // MSG_NOSIGNAL: a peer that has gone must give an error, not SIGPIPE.
  do {
    n = send(static_cast<int>(handle_), data, size, MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<long>(n);
}

long StreamSocket::Receive(char* buffer, std::size_t size) {
  if (!IsOpen()) return -1;
  ssize_t n;
  do {
    n = recv(static_cast<int>(handle_), buffer, size, 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<long>(n);
}

void StreamSocket::Close() {
  if (!IsOpen()) return;
  shutdown(static_cast<int>(handle_), SHUT_RDWR);
  close(static_cast<int>(handle_));
  handle_ = kNone;
}

StreamListener::~StreamListener() { Close(); }

bool StreamListener::Listen(std::uint16_t port) {
  Close();
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
    close(fd);
    return false;
  }
  handle_ = static_cast<std::intptr_t>(fd);
  port_ = ntohs(at.sin_port);
  return true;
}

bool StreamListener::Accept(StreamSocket& connection) {
  if (handle_ == StreamSocket::kNone) return false;
  const int fd = accept(static_cast<int>(handle_), nullptr, nullptr);
  if (fd < 0) return false;
  connection.Close();
  connection.handle_ = static_cast<std::intptr_t>(fd);
  return true;
}

void StreamListener::Close() {
  if (handle_ == StreamSocket::kNone) return;
  // Shutting down first wakes a thread blocked in Accept.
  shutdown(static_cast<int>(handle_), SHUT_RDWR);
  close(static_cast<int>(handle_));
  handle_ = StreamSocket::kNone;
  port_ = 0;
}

}  // namespace kavrel
