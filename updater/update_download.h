// The updater's own HTTP/1.1 client: one GET per connection, the body
// streamed into a local file through one 4,096-byte buffer, progress and
// failure posted to a notify target.
//
// A CUpdateDownload serves one request and is used by one thread. The socket
// library must have been started (StartSocketLibrary) before the first one.
//
// What the client accepts as a complete answer: status 200 and a header that
// ends in a blank line within kMaxHeaderBytes; a body that is either exactly
// "Content-Length" bytes long, decoded from chunked transfer coding up to its
// last chunk, or (with neither header) everything up to the end of the
// connection. A shorter body, broken chunk framing or a missing last chunk is
// a failure. There are no redirects, retries or time-outs of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/platform/files.h"
#include "common/platform/message_target.h"
#include "common/platform/stream_socket.h"
#include "common/platform/text.h"

namespace kavrel {

// Tunables of the client.
constexpr std::size_t kFirstReadBytes = 1024;    // the first read, holding the status line
constexpr std::size_t kReadBufferBytes = 4096;   // every later read
constexpr std::size_t kMaxStatusLineBytes = 99;  // a longer status line is refused
constexpr std::size_t kMaxHeaderBytes = 16384;   // a longer header is refused
constexpr std::size_t kMaxFileNameLength = 259;
constexpr unsigned kProgressIntervalMs = 1000;

class CUpdateDownload {
 public:
  // Splits `url` and derives the file name. Never fails; a URL that cannot be
  // split makes the request fail later.
  explicit CUpdateDownload(const Text& url);
  ~CUpdateDownload();
  CUpdateDownload(const CUpdateDownload&) = delete;
  CUpdateDownload& operator=(const CUpdateDownload&) = delete;

  // The last segment of the URL's path, percent-decoded as UTF-8 (a "%" not
  // followed by two hexadecimal digits stays as it is). Empty when the path
  // ends in "/".
  const Text& FileName() const { return fileName_; }
  void SetLocalPath(const Text& path) { localPath_ = path; }
  const Text& LocalPath() const { return localPath_; }
  // The target that receives the notices; none (the default) posts nothing.
  // The target must outlive the download.
  void SetNotifyWindow(MessageTarget* target) { notify_ = target; }

  // Looks the host up, connects and sends the request. A failure shows in
  // ReceiveToFile.
  void ConnectAndSend();
  // Receives the answer into the local path. False, after posting
  // WM_UPD_FAILED, on any failure; a partial file then stays on disk.
  bool ReceiveToFile();

  // What the URL was split into, and the content length of the answer.
  bool IsSplit() const { return split_; }
  const Text& Host() const { return host_; }
  const Text& Object() const { return object_; }
  std::uint16_t Port() const { return port_; }
  std::int64_t ContentLength() const { return contentLength_; }

 private:
  void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
  bool Fail(FileWriter& file);

  Text fileName_;
  Text localPath_;
  Text host_;
  Text object_;  // path and query as sent in the request line
  StreamSocket socket_;
  MessageTarget* notify_ = nullptr;
  std::int64_t contentLength_ = 0;
  std::uint16_t port_ = 0;
  bool split_ = false;
  bool sent_ = false;
};

// The process-wide name of the plan entry being downloaded, written by the
// plan download and read by the window; both calls may run on any thread.
void SetCurrentFileName(const Text& name);
Text CurrentFileName();

}  // namespace kavrel
