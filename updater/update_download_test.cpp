#include "updater/update_download.h"

#include <gtest/gtest.h>

#include "common/platform/files.h"
#include "updater/path_folders.h"
#include "updater/test_http_server.h"
#include "updater/update_notices.h"

namespace kavrel {
namespace {

Text TempFolder(const char* name) {
  const Text folder = Utf8ToText(std::string(::testing::TempDir()) + "kavrel_dl_" + name);
  CreateFolder(folder);
  return folder;
}

std::string ReadAll(const Text& path) {
  std::string bytes;
  ReadFileBytes(path, bytes);
  return bytes;
}

// Runs one download of `url` into `path` with a recording target.
struct DownloadRun {
  bool ok;
  std::int64_t contentLength;
  std::vector<RecordingMessageTarget::Message> notices;
};
DownloadRun Download(const std::string& url, const Text& path) {
  RecordingMessageTarget target;
  CUpdateDownload download(Utf8ToText(url));
  download.SetLocalPath(path);
  download.SetNotifyWindow(&target);
  download.ConnectAndSend();
  const bool ok = download.ReceiveToFile();
  return {ok, download.ContentLength(), target.Messages()};
}

TEST(UpdateDownloadTest, SplitsUrls) {
  struct Case {
    const char16_t* url;
    bool split;
    const char16_t* host;
    unsigned port;
    const char16_t* object;
    const char16_t* fileName;
  } cases[] = {
      {u"http://up.example:8080/dl/a.exe", true, u"up.example", 8080, u"/dl/a.exe", u"a.exe"},
      {u"http://up.example/dl/my%20file.bin", true, u"up.example", 80, u"/dl/my%20file.bin", u"my file.bin"},
      // blanks and non-ASCII are escaped on the wire, decoded in the name
      {u"http://h/p/\uCC44 널.txt", true, u"h", 80, u"/p/%EC%B1%84%20%EB%84%90.txt", u"\uCC44 널.txt"},
      {u"http://h", true, u"h", 80, u"/", u""},                 // no path
      {u"http://h?x=1", true, u"h", 80, u"/?x=1", u""},
      {u"http://h/a/b.zip?v=1/2#frag", true, u"h", 80, u"/a/b.zip?v=1/2", u"b.zip"},
      {u"ftp://u:pw@h:21/f+g%zz%4", true, u"h", 21, u"/f+g%zz%4", u"f+g%zz%4"},  // scheme not checked
      {u"https://h/x", true, u"h", 443, u"/x", u"x"},
      {u"http://h/%2e%2e", true, u"h", 80, u"/%2e%2e", u".."},
      {u"no scheme", false, u"", 0, u"", u""},
      {u"http://h:99999/x", false, u"", 0, u"", u""},
      {u"http:///x", false, u"", 0, u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(TextToUtf8(c.url));
    CUpdateDownload d(c.url);
    EXPECT_EQ(d.IsSplit(), c.split);
    if (!c.split) continue;
    EXPECT_EQ(d.Host(), c.host);
    EXPECT_EQ(d.Port(), c.port);
    EXPECT_EQ(d.Object(), c.object);
    EXPECT_EQ(d.FileName(), c.fileName);
  }
}

TEST(UpdateDownloadTest, NamesThatWouldClimbAreUnsafe) {
  for (const char16_t* bad : {u"", u".", u"..", u"a\\b", u"a/b", u"c:x", u"x.", u"x\u0001"})
    EXPECT_FALSE(IsSafeFileName(bad)) << TextToUtf8(bad);
  EXPECT_TRUE(IsSafeFileName(u"Kavrel.exe"));
  for (const char16_t* bad : {u"..", u"a\\..\\b", u"\\abs", u"/abs", u"a/../../b", u"c:\\x"})
    EXPECT_FALSE(IsSafeRelativePath(bad)) << TextToUtf8(bad);
  for (const char16_t* good : {u"", u"skin\\Default", u"a//b", u"a/b/"})
    EXPECT_TRUE(IsSafeRelativePath(good)) << TextToUtf8(good);
}

// Answers of every shape the client must tell apart: the body on disk must be
// the payload exactly, or the request must fail.
TEST(UpdateDownloadTest, SavesCompleteBodiesAndRefusesBrokenOnes) {
  const std::string big(3000, 'h');
  const std::string zeroBody("\0\x01payload\0", 10);
  struct Case {
    const char* name;
    std::string answer;
    bool ok;
    std::string saved;  // the file afterwards (a failed one keeps what was written)
    std::int64_t length;
  } cases[] = {
      {"plain", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", true, "hello", 5},
      {"until close", "HTTP/1.0 200 OK\r\n\r\nhello world", true, "hello world", 0},
      {"zero first byte", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n" + zeroBody, true, zeroBody, 10},
      {"lower-case length", "HTTP/1.1 200 OK\r\ncontent-length: 3\r\n\r\nabc", true, "abc", 0},
      {"bytes past the length", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", true, "abc", 3},
      {"header beyond 1024 bytes",
       "HTTP/1.1 200 OK\r\nX-Pad: " + big + "\r\nContent-Length: 4\r\n\r\nbody", true, "body", 4},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                  "5\r\nhello\r\n6;ext=1\r\n world\r\n0\r\nX-Trailer: 1\r\n\r\n", true, "hello world", 0},
      {"chunked wins over length", "HTTP/1.1 200 OK\r\nContent-Length: 99\r\ntransfer-encoding: Chunked\r\n\r\n"
                                   "3\r\nabc\r\n0\r\n\r\n", true, "abc", 99},
      {"short body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", false, "short", 10},
      {"chunked without last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
       false, "hello", 0},
      {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nhello\r\n0\r\n\r\n",
       false, "", 0},
      {"chunk data overruns", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nhello\r\n0\r\n\r\n",
       false, "he", 0},
      {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\n200", false, "", 0},
      {"200 only in the reason", "HTTP/1.1 500 Error 200\r\n\r\nx", false, "", 0},
      {"status line at the very start", "\r\nHTTP/1.1 200 OK\r\n\r\nx", false, "", 0},
      {"status line too long", "HTTP/1.1 200 " + std::string(120, 'O') + "\r\n\r\nx", false, "", 0},
      {"no blank line at all", "HTTP/1.1 200 OK\r\nContent-Length: 3", false, "", 0},
      {"header without end", "HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'x'), false, "", 0},
      {"nothing", "", false, "", 0},
  };
  const Text folder = TempFolder("bodies");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestHttpServer server([&](const std::string&) { return std::vector<TestHttpServer::Piece>{{c.answer}}; });
    ASSERT_TRUE(server.ok());
    const Text path = folder + u"/body.bin";
    const DownloadRun run = Download(server.Url("/f/body.bin"), path);
    EXPECT_EQ(run.ok, c.ok);
    ASSERT_FALSE(run.notices.empty());
    EXPECT_EQ(ReadAll(path), c.saved);
    if (c.ok) {
      EXPECT_EQ(run.contentLength, c.length);
      // Progress once after the header, and once at the end with the count.
      EXPECT_EQ(run.notices.front(), (RecordingMessageTarget::Message{WM_UPD_PROGRESS, 0, c.length, false}));
      EXPECT_EQ(run.notices.back(),
                (RecordingMessageTarget::Message{WM_UPD_PROGRESS, c.saved.size(), c.length, false}));
    } else {
      EXPECT_EQ(run.notices.back(), (RecordingMessageTarget::Message{WM_UPD_FAILED, 0, 0, false}));
    }
  }
}

// The request line keeps the escapes a server needs; the header names are
// written as the update servers have always received them.
TEST(UpdateDownloadTest, SendsTheRequestAndNamesTheFileDecoded) {
  TestHttpServer server([](const std::string&) { return TestHttpServer::Answer("x"); });
  ASSERT_TRUE(server.ok());
  CUpdateDownload d(Utf8ToText(server.Url("/pub/my%20file.txt")));
  EXPECT_EQ(d.FileName(), u"my file.txt");
  d.SetLocalPath(TempFolder("request") + u"/" + d.FileName());
  d.ConnectAndSend();
  ASSERT_TRUE(d.ReceiveToFile());
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0],
            "GET /pub/my%20file.txt HTTP/1.1\r\nUser-Agent:ZorvRenewick\r\nConnection:close\r\nHost: 127.0.0.1:" +
                std::to_string(server.port()) + "\r\n\r\n");
  EXPECT_EQ(ReadAll(d.LocalPath()), "x");
}

// Failures before any answer: the local file is created empty (or not at
// all), the notice says failed, and nothing throws or hangs.
TEST(UpdateDownloadTest, FailsWithoutAnAnswer) {
  const Text folder = TempFolder("noanswer");
  unsigned short closedPort;
  {
    StreamListener l;
    ASSERT_TRUE(l.Listen(0));
    closedPort = l.Port();
  }
  struct Case {
    std::string url;
    Text path;
    bool fileCreated;
  } cases[] = {
      {"http://127.0.0.1:" + std::to_string(closedPort) + "/x", folder + u"/refused.bin", true},
      {"http://no-such-host.invalid/x", folder + u"/nohost.bin", true},
      {"not a url", folder + u"/unsplit.bin", true},
      {"http://127.0.0.1:" + std::to_string(closedPort), folder + u"/", false},  // the folder itself
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    const DownloadRun run = Download(c.url, c.path);
    EXPECT_FALSE(run.ok);
    ASSERT_EQ(run.notices.size(), 1u);
    EXPECT_EQ(run.notices[0].message, WM_UPD_FAILED);
    EXPECT_EQ(FileExists(c.path), c.fileCreated);
    if (c.fileCreated) {
      EXPECT_EQ(ReadAll(c.path), "");
    }
  }
}

// The local path's folders are made when missing; a closed window gets no
// notices.
TEST(UpdateDownloadTest, CreatesFoldersAndRespectsAClosedWindow) {
  TestHttpServer server([](const std::string&) { return TestHttpServer::Answer("data", "Content-Length: 4\r\n"); });
  ASSERT_TRUE(server.ok());
  const Text path = TempFolder("folders") + u"/a/b/c/file.bin";
  RecordingMessageTarget target;
  target.SetExists(false);
  CUpdateDownload d(Utf8ToText(server.Url("/file.bin")));
  d.SetLocalPath(path);
  d.SetNotifyWindow(&target);
  d.ConnectAndSend();
  EXPECT_TRUE(d.ReceiveToFile());
  EXPECT_EQ(ReadAll(path), "data");
  EXPECT_TRUE(target.Messages().empty());
}

// A server that dribbles its answer (header in pieces, body over ~2.5 s):
// the download completes and progress is posted at most once a second.
TEST(UpdateDownloadTest, SlowAnswerCompletesWithThrottledProgress) {
  TestHttpServer server([](const std::string&) {
    std::vector<TestHttpServer::Piece> pieces{{"HTTP/1.1 2", 100}, {"00 OK\r\nContent-Le", 100},
                                              {"ngth: 25\r\n\r\n", 0}};
    for (int i = 0; i < 25; ++i) pieces.push_back({std::string(1, static_cast<char>('a' + i)), 100});
    return pieces;
  });
  ASSERT_TRUE(server.ok());
  const Text path = TempFolder("slow") + u"/slow.bin";
  const DownloadRun run = Download(server.Url("/slow.bin"), path);
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(ReadAll(path), "abcdefghijklmnopqrstuvwxy");
  size_t progress = 0;
  for (const auto& m : run.notices) progress += m.message == WM_UPD_PROGRESS;
  // start + end + one per full second of the ~2.5 s body
  EXPECT_GE(progress, 3u);
  EXPECT_LE(progress, 5u);
  for (size_t i = 1; i < run.notices.size(); ++i) EXPECT_GE(run.notices[i].wParam, run.notices[i - 1].wParam);
}

}  // namespace
}  // namespace kavrel
