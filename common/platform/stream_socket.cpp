// The parts of StreamSocket that are the same on every platform: ownership
// of the handle. Opening, connecting and closing live in posix/ and win32/.
#include "common/platform/stream_socket.h"

namespace kavrel {

StreamSocket::~StreamSocket() { Close(); }

StreamSocket::StreamSocket(StreamSocket&& other) noexcept : handle_(other.handle_) {
  other.handle_ = kNone;
}

StreamSocket& StreamSocket::operator=(StreamSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kNone;
  }
  return *this;
}

}  // namespace kavrel
