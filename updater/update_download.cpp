#include "updater/update_download.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>

#include "common/platform/code_page.h"
#include "updater/path_folders.h"
#include "updater/update_notices.h"

namespace kavrel {
namespace {

// --- process-wide state -----------------------------------------------------

std::mutex& StateMutex() {
  static std::mutex* m = new std::mutex;  // never destroyed: workers may outlive main
  return *m;
}
Text& CurrentName() {
  static Text* name = new Text;
  return *name;
}

// The progress clock: one for the process, started at the first body read of
// the first download and restarted by every progress notice it allows.
struct ProgressClock {
  bool started = false;
  std::chrono::steady_clock::time_point last;
};
ProgressClock& Clock() {
  static ProgressClock* clock = new ProgressClock;
  return *clock;
}

void StartProgressClock() {
  std::lock_guard<std::mutex> lock(StateMutex());
  if (!Clock().started) {
    Clock().started = true;
    Clock().last = std::chrono::steady_clock::now();
  }
}

bool ProgressDue() {
  std::lock_guard<std::mutex> lock(StateMutex());
  const auto now = std::chrono::steady_clock::now();
  if (now - Clock().last < std::chrono::milliseconds(kProgressIntervalMs)) return false;
  Clock().last = now;
  return true;
}

// --- URL splitting ------------------------------------------------------------

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Writes characters that may not stand in a request target as percent escapes
// of their UTF-8 bytes; existing escapes stay. In the query only blanks,
// controls and non-ASCII are escaped.
std::string Canonicalise(TextView pathAndQuery) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string bytes = TextToUtf8(pathAndQuery);
  std::string out;
  bool inQuery = false;
  for (unsigned char c : bytes) {
    if (c == '?') inQuery = true;
    bool escape = c <= 0x20 || c >= 0x7F;
    if (!inQuery && std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos)
      escape = true;
    if (escape) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Percent-decodes bytes; a "%" without two hexadecimal digits stays.
std::string PercentDecode(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      const int hi = HexValue(static_cast<unsigned char>(s[i + 1]));
      const int lo = HexValue(static_cast<unsigned char>(s[i + 2]));
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

bool ParsePort(TextView digits, std::uint16_t& port) {
  if (digits.empty() || digits.size() > 5) return false;
  unsigned value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + (c - u'0');
  }
  if (value == 0 || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

Text LowerAscii(TextView t) {
  Text out(t);
  for (char16_t& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return out;
}

// --- answer parsing -------------------------------------------------------------

// The status line must end in CR LF within kMaxStatusLineBytes and carry the
// status code 200 as its second word.
bool StatusIsOk(const std::string& header) {
  const size_t end = header.find("\r\n");
  if (end == std::string::npos || end == 0 || end > kMaxStatusLineBytes) return false;
  const std::string line = header.substr(0, end);
  const size_t blank = line.find(' ');
  if (blank == std::string::npos) return false;
  size_t code = blank;
  while (code < line.size() && line[code] == ' ') ++code;
  return line.compare(code, 3, "200") == 0 &&
         (code + 3 == line.size() || line[code + 3] == ' ');
}

// The decimal number after the first "Content-Length:" (matched exactly, as
// the header has always been read). False when absent or without digits.
bool FindContentLength(const Text& header, std::int64_t& length) {
  const size_t at = header.find(u"Content-Length:");
  if (at == Text::npos) return false;
  size_t i = at + 15;
  while (i < header.size() && (header[i] == u' ' || header[i] == u'\t')) ++i;
  std::int64_t value = 0;
  size_t digits = 0;
  for (; i < header.size() && header[i] >= u'0' && header[i] <= u'9'; ++i, ++digits) {
    if (value > (INT64_C(1) << 56)) return false;  // no file of an update is this big
    value = value * 10 + (header[i] - u'0');
  }
  if (digits == 0) return false;
  length = value;
  return true;
}

// True when a Transfer-Encoding header (any letter case) names "chunked".
bool IsChunked(const Text& header) {
  const Text lower = LowerAscii(header);
  size_t at = 0;
  while ((at = lower.find(u"\r\ntransfer-encoding:", at)) != Text::npos) {
    at += 2;
    const size_t end = lower.find(u"\r\n", at);
    if (lower.substr(at, end == Text::npos ? Text::npos : end - at).find(u"chunked") != Text::npos)
      return true;
  }
  return false;
}

// Receives the body bytes as they arrive and writes the payload: all of it,
// exactly `limit` bytes, or the decoded chunks.
class BodyWriter {
 public:
  BodyWriter(FileWriter& file, bool chunked, std::int64_t limit)
      : file_(file), chunked_(chunked), limit_(limit) {}

  // False on a write error or broken chunk framing.
  bool Feed(const char* data, size_t size) {
    return chunked_ ? FeedChunked(data, size) : FeedPlain(data, size);
  }
  // True once nothing more is expected (the whole length, the last chunk).
  bool Done() const { return chunked_ ? state_ == kDone : (limit_ >= 0 && written_ == limit_); }
  // Whether the connection may end now.
  bool Complete() const { return chunked_ || limit_ >= 0 ? Done() : true; }
  std::int64_t Written() const { return written_; }

 private:
  enum State { kSize, kData, kDataEnd, kTrailer, kDone };
  static constexpr size_t kMaxLine = 1024;

  bool Write(const char* data, size_t size) {
    if (size == 0) return true;
    if (!file_.Write(data, size)) return false;
    written_ += static_cast<std::int64_t>(size);
    return true;
  }

  bool FeedPlain(const char* data, size_t size) {
    if (limit_ >= 0) size = static_cast<size_t>(std::min<std::int64_t>(size, limit_ - written_));
    return Write(data, size);
  }

  bool FeedChunked(const char* data, size_t size) {
    size_t i = 0;
    while (i < size && state_ != kDone) {
      if (state_ == kData) {
        const size_t take = static_cast<size_t>(std::min<std::uint64_t>(remaining_, size - i));
        if (!Write(data + i, take)) return false;
        i += take;
        remaining_ -= take;
        if (remaining_ == 0) state_ = kDataEnd;
        continue;
      }
      const char c = data[i++];
      if (c != '\n') {
        if (line_.size() >= kMaxLine) return false;
        line_ += c;
        continue;
      }
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      if (!EndOfLine()) return false;
      line_.clear();
    }
    return true;
  }

  bool EndOfLine() {
    switch (state_) {
      case kDataEnd:  // the CR LF after a chunk's data
        if (!line_.empty()) return false;
        state_ = kSize;
        return true;
      case kSize: {
        std::uint64_t value = 0;
        size_t digits = 0;
        for (; digits < line_.size(); ++digits) {
          const int h = HexValue(static_cast<unsigned char>(line_[digits]));
          if (h < 0) break;
          if (value >> 56) return false;
          value = value * 16 + static_cast<unsigned>(h);
        }
        if (digits == 0) return false;
        // Only chunk extensions (";...") or blanks may follow the size.
        if (digits < line_.size() && line_[digits] != ';' && line_[digits] != ' ' &&
            line_[digits] != '\t')
          return false;
        remaining_ = value;
        state_ = value == 0 ? kTrailer : kData;
        return true;
      }
      case kTrailer:
        if (line_.empty()) state_ = kDone;
        return true;
      default:
        return false;
    }
  }

  FileWriter& file_;
  const bool chunked_;
  const std::int64_t limit_;  // -1: up to the end of the connection
  std::int64_t written_ = 0;
  State state_ = kSize;
  std::uint64_t remaining_ = 0;
  std::string line_;
};

}  // namespace

void SetCurrentFileName(const Text& name) {
  std::lock_guard<std::mutex> lock(StateMutex());
  CurrentName() = name;
}

Text CurrentFileName() {
  std::lock_guard<std::mutex> lock(StateMutex());
  return CurrentName();
}

CUpdateDownload::CUpdateDownload(const Text& url) {
  const size_t schemeEnd = url.find(u"://");
  if (schemeEnd == Text::npos || schemeEnd == 0) return;
  const Text scheme = LowerAscii(TextView(url).substr(0, schemeEnd));
  const size_t authorityStart = schemeEnd + 3;
  size_t authorityEnd = url.find_first_of(u"/?#", authorityStart);
  if (authorityEnd == Text::npos) authorityEnd = url.size();
  TextView authority = TextView(url).substr(authorityStart, authorityEnd - authorityStart);
  const size_t at = authority.rfind(u'@');
  if (at != TextView::npos) authority.remove_prefix(at + 1);
  // The scheme is never checked: every request is plain HTTP on the port.
  port_ = scheme == u"https" ? 443 : 80;
  const size_t colon = authority.find(u':');
  if (colon != TextView::npos) {
    if (!ParsePort(authority.substr(colon + 1), port_)) return;
    authority = authority.substr(0, colon);
  }
  if (authority.empty()) return;
  host_ = Text(authority);

  // The fragment is never sent.
  TextView rest = TextView(url).substr(authorityEnd);
  const size_t hash = rest.find(u'#');
  if (hash != TextView::npos) rest = rest.substr(0, hash);
  std::string target = Canonicalise(rest);
  if (target.empty() || target[0] != '/') target.insert(0, 1, '/');
  object_ = AsciiToText(target);

  const std::string path = target.substr(0, target.find('?'));
  const std::string segment = path.substr(path.rfind('/') + 1);
  fileName_ = Utf8ToText(PercentDecode(segment));
  if (fileName_.size() > kMaxFileNameLength) fileName_.resize(kMaxFileNameLength);
  split_ = true;
}

CUpdateDownload::~CUpdateDownload() = default;

void CUpdateDownload::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (notify_ && notify_->Exists()) notify_->Post(message, wParam, lParam);
}

void CUpdateDownload::ConnectAndSend() {
  if (!split_) return;
  const std::string host = TextToBytes(host_, kCodePageAnsi);
  if (host.empty() || host.size() > 100) return;
  // A failed lookup must not become 0.0.0.0, which some systems connect to
  // the local machine.
  const std::uint32_t address = LookUpIpv4(host);
  if (address == 0 || !socket_.Open()) return;
  if (!socket_.Connect(address, port_)) {
    socket_.Close();
    return;
  }
  const std::string request = "GET " + TextToUtf8(object_) +
                              " HTTP/1.1\r\nUser-Agent:ZorvRenewick\r\nConnection:close\r\nHost: " +
                              host + ":" + std::to_string(port_) + "\r\n\r\n";
  size_t done = 0;
  while (done < request.size()) {
    const long n = socket_.Send(request.data() + done, request.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (done < request.size()) {
    socket_.Close();
    return;
  }
  sent_ = true;
}

bool CUpdateDownload::Fail(FileWriter& file) {
  file.Close();
  socket_.Close();
  Post(WM_UPD_FAILED, 0, 0);
  return false;
}

bool CUpdateDownload::ReceiveToFile() {
  FileWriter file;
  if (!file.Open(localPath_)) {
    CreatePathFolders(localPath_);
    if (!file.Open(localPath_)) return Fail(file);
  }

  // The header, up to its blank line. The status line is checked once the
  // blank line is there, so a server may send the header in any pieces.
  char buffer[kReadBufferBytes];
  std::string header;
  long n = socket_.Receive(buffer, kFirstReadBytes);
  if (n <= 0) return Fail(file);
  StartProgressClock();
  header.append(buffer, static_cast<size_t>(n));
  size_t blank;
  while ((blank = header.find("\r\n\r\n")) == std::string::npos) {
    if (header.size() >= kMaxHeaderBytes) return Fail(file);
    n = socket_.Receive(buffer, std::min(kReadBufferBytes, kMaxHeaderBytes - header.size()));
    if (n <= 0) return Fail(file);
    header.append(buffer, static_cast<size_t>(n));
  }
  if (!StatusIsOk(header)) return Fail(file);

  const Text headerText = BytesToText(std::string_view(header).substr(0, blank + 2), kCodePageAnsi);
  const bool chunked = IsChunked(headerText);
  std::int64_t length = 0;
  const bool hasLength = FindContentLength(headerText, length);
  contentLength_ = hasLength ? length : 0;
  Post(WM_UPD_PROGRESS, 0, static_cast<std::intptr_t>(contentLength_));

  BodyWriter body(file, chunked, hasLength && !chunked ? length : -1);
  if (!body.Feed(header.data() + blank + 4, header.size() - blank - 4)) return Fail(file);
  while (!body.Done()) {
    n = socket_.Receive(buffer, sizeof buffer);
    if (n < 0) return Fail(file);
    if (n == 0) break;
    if (!body.Feed(buffer, static_cast<size_t>(n))) return Fail(file);
    if (ProgressDue())
      Post(WM_UPD_PROGRESS, static_cast<std::uintptr_t>(body.Written()),
           static_cast<std::intptr_t>(contentLength_));
  }
  // A connection that ends before the announced length or the last chunk
  // leaves a short file, which must never be installed.
  if (!body.Complete() || !file.Close()) return Fail(file);
  Post(WM_UPD_PROGRESS, static_cast<std::uintptr_t>(body.Written()),
       static_cast<std::intptr_t>(contentLength_));
  socket_.Close();
  return true;
}

}  // namespace kavrel
