// Downloads from real HTTP servers on loopback: Python's http.server and
// nginx, both from the system's packages.
#include <gtest/gtest.h>

#include "common/platform/files.h"
#include "updater/path_folders.h"
#include "updater/peer_process.h"
#include "updater/update_download.h"
#include "updater/update_notices.h"

namespace kavrel {
namespace {

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
  return s;
}

class PeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::string(::testing::TempDir()) + "kavrel_peer_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CreatePathFolders(Utf8ToText(root_ + "/www/dir with blank/"));
    CreateFolder(Utf8ToText(root_ + "/out"));
    body_ = Pattern(300000);
    body_[0] = '\0';
    ASSERT_TRUE(WriteFileBytes(Utf8ToText(root_ + "/www/dir with blank/big file.bin"), body_));
    ASSERT_TRUE(WriteFileBytes(Utf8ToText(root_ + "/www/page.shtml"),
                               "<p>start</p><!--# echo var=\"nothing\" default=\"middle\" -->" +
                                   std::string(5000, 'x') + "<p>end</p>"));
  }

  // Downloads `path` from the peer on `port`.
  bool Fetch(std::uint16_t port, const std::string& path, std::string& saved, std::int64_t& length,
             size_t& progress) {
    RecordingMessageTarget target;
    CUpdateDownload d(Utf8ToText("http://127.0.0.1:" + std::to_string(port) + path));
    d.SetLocalPath(Utf8ToText(root_ + "/out/") + d.FileName());
    d.SetNotifyWindow(&target);
    d.ConnectAndSend();
    const bool ok = d.ReceiveToFile();
    ReadFileBytes(d.LocalPath(), saved);
    length = d.ContentLength();
    progress = target.MessagesOf(WM_UPD_PROGRESS).size();
    return ok;
  }

  std::string root_;
  std::string body_;
};

TEST_F(PeerTest, PythonHttpServer) {
  const std::uint16_t port = PeerProcess::FreePort();
  PeerProcess python({"/usr/bin/python3", "-m", "http.server", std::to_string(port), "--bind", "127.0.0.1",
                      "--directory", root_ + "/www"},
                     port);
  ASSERT_TRUE(python.ready());
  std::string saved;
  std::int64_t length;
  size_t progress;
  ASSERT_TRUE(Fetch(port, "/dir%20with%20blank/big%20file.bin", saved, length, progress));
  EXPECT_EQ(length, static_cast<std::int64_t>(body_.size()));
  EXPECT_TRUE(saved == body_);
  EXPECT_GE(progress, 2u);
  EXPECT_FALSE(Fetch(port, "/missing.bin", saved, length, progress));  // 404
}

TEST_F(PeerTest, NginxPlainAndChunked) {
  const std::uint16_t port = PeerProcess::FreePort();
  const std::string conf = root_ + "/nginx.conf";
  ASSERT_TRUE(WriteFileBytes(
      Utf8ToText(conf),
      "daemon off; master_process off; worker_processes 1; pid " + root_ + "/nginx.pid;\n"
      "error_log " + root_ + "/error.log;\nevents {}\n"
      "http { access_log off; client_body_temp_path " + root_ + "; proxy_temp_path " + root_ +
          "; fastcgi_temp_path " + root_ + "; uwsgi_temp_path " + root_ + "; scgi_temp_path " + root_ +
          ";\n  server { listen 127.0.0.1:" + std::to_string(port) + "; root " + root_ +
          "/www;\n    location ~ \\.shtml$ { ssi on; ssi_types *; } } }\n"));
  PeerProcess nginx({"/usr/sbin/nginx", "-c", conf, "-p", root_}, port);
  ASSERT_TRUE(nginx.ready());
  std::string saved;
  std::int64_t length;
  size_t progress;
  ASSERT_TRUE(Fetch(port, "/dir%20with%20blank/big%20file.bin", saved, length, progress));
  EXPECT_EQ(length, static_cast<std::int64_t>(body_.size()));
  EXPECT_TRUE(saved == body_);
  // Server-side includes make nginx answer in chunked transfer coding.
  ASSERT_TRUE(Fetch(port, "/page.shtml", saved, length, progress));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(saved, "<p>start</p>middle" + std::string(5000, 'x') + "<p>end</p>");
}

}  // namespace
}  // namespace kavrel
