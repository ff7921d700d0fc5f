// The real HTTP seam (libcurl natively, WinINet under Wine) against a small
// server on loopback inside the test process.
#include "common/platform/http_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/platform/http_test_server.h"

namespace kavrel {
namespace {

const std::string& BigBody() {
  static const std::string body = [] {
    std::string b(2 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>('a' + i % 26);
    return b;
  }();
  return body;
}

TestHttpResponse Route(const TestHttpRequest& request) {
  if (request.target == "/crlf") return {200, "<a>\r\n<b>1</b>\r\n</a>\r\n"};
  if (request.target == "/missing") return {404, "<html>not here</html>"};
  if (request.target == "/big") return {200, BigBody()};
  if (request.target == "/silent") {
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    return {200, "late"};
  }
  if (request.target == "/collected") return {200, "stored"};
  return {200, "ok"};
}

class LoopbackServer : public TestHttpServer {
 public:
  LoopbackServer() : TestHttpServer(&Route) {}
  Text Url(const char* path) const { return AsciiToText(TestHttpServer::Url(path)); }
  TestHttpRequest LastRequest() const {
    const auto all = Requests();
    return all.empty() ? TestHttpRequest() : all.back();
  }
};

std::string Header(const TestHttpRequest& r, const char* name) {
  const auto it = r.headers.find(name);
  return it == r.headers.end() ? std::string() : it->second;
}

HttpSessionOptions ServiceOptions() {
  HttpSessionOptions options;
  options.agent = u"Kavrel";
  options.connectTimeoutMs = 2000;
  options.connectRetries = 2;
  return options;
}

class HttpSessionTest : public ::testing::Test {
 protected:
  LoopbackServer server;
  std::unique_ptr<HttpSession> session = RealHttpPlatform().Open(ServiceOptions());
};

// A body arrives byte for byte, CR LF included, and an error page is read
// like any answer with its status reported.
TEST_F(HttpSessionTest, BodiesArriveUnchangedWhateverTheStatus) {
  struct Case {
    const char* path;
    int status;
    std::string body;
  } cases[] = {
      {"/crlf", 200, "<a>\r\n<b>1</b>\r\n</a>\r\n"},
      {"/missing", 404, "<html>not here</html>"},
      {"/big", 200, BigBody()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    for (HttpTransfer transfer : {HttpTransfer::kText, HttpTransfer::kBinary}) {
      const HttpResult r = session->Get(server.Url(c.path), kHttpWholeBody, transfer);
      ASSERT_TRUE(r.ok) << r.failure;
      EXPECT_EQ(r.statusCode, c.status);
      EXPECT_TRUE(r.body == c.body) << "got " << r.body.size() << " bytes";
    }
  }
}

// One read of at most N bytes: a short body comes whole, a long one is cut
// and what is returned is the beginning of the body.
TEST_F(HttpSessionTest, SingleReadReturnsAtMostItsLimit) {
  const std::size_t limit = 1048575;
  const HttpResult small = session->Get(server.Url("/crlf"), limit);
  ASSERT_TRUE(small.ok) << small.failure;
  EXPECT_EQ(small.body, "<a>\r\n<b>1</b>\r\n</a>\r\n");

  const HttpResult big = session->Get(server.Url("/big"), limit);
  ASSERT_TRUE(big.ok) << big.failure;
  EXPECT_GT(big.body.size(), 0u);
  EXPECT_LE(big.body.size(), limit);
  EXPECT_TRUE(BigBody().compare(0, big.body.size(), big.body) == 0);
}

TEST_F(HttpSessionTest, SendsTheAgentNameOrTheProgramName) {
  ASSERT_TRUE(session->Get(server.Url("/agent")).ok);
  EXPECT_EQ(Header(server.LastRequest(), "user-agent"), "Kavrel");

  auto unnamed = RealHttpPlatform().Open(HttpSessionOptions());
  ASSERT_TRUE(unnamed->Get(server.Url("/agent")).ok);
  EXPECT_EQ(Header(server.LastRequest(), "user-agent"), "kavrel_http_session_test");
}

TEST_F(HttpSessionTest, PostsAFormAndReportsTheStatus) {
  const HttpResult r = session->PostForm(u"127.0.0.1", server.Port(),
                                         u"collected", "mes=abc%2D%3D");
  ASSERT_TRUE(r.ok) << r.failure;
  EXPECT_EQ(r.statusCode, 200);
  EXPECT_EQ(r.body, "stored");
  const TestHttpRequest seen = server.LastRequest();
  EXPECT_EQ(seen.body, "mes=abc%2D%3D");
  EXPECT_EQ(Header(seen, "content-type"), "application/x-www-form-urlencoded");
}

// A closed port and an address that is none are the one failure, at once.
TEST(HttpSessionFailureTest, RefusedConnectionAndBadAddressFail) {
  int closedPort = 0;
  {
    LoopbackServer gone;
    closedPort = gone.Port();
  }
  auto session = RealHttpPlatform().Open(ServiceOptions());
  const auto start = std::chrono::steady_clock::now();
  const HttpResult refused = session->Get(
      AsciiToText("http://127.0.0.1:" + std::to_string(closedPort) + "/crlf"));
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.body.empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  const HttpResult badAddress = session->Get(u"not an address");
  EXPECT_FALSE(badAddress.ok);
}

// A server that accepts and then stays silent ends in the failure once the
// transfer has stalled for the receive time-out.
TEST(HttpSessionFailureTest, SilentServerTimesOut) {
#ifdef _WIN32
  GTEST_SKIP() << "Wine's WinINet does not apply INTERNET_OPTION_RECEIVE_TIMEOUT";
#endif
  LoopbackServer server;
  HttpSessionOptions impatient = ServiceOptions();
  impatient.receiveTimeoutMs = 500;
  auto quick = RealHttpPlatform().Open(impatient);
  const HttpResult silent = quick->Get(server.Url("/silent"));
  EXPECT_FALSE(silent.ok);
  EXPECT_TRUE(silent.body.empty());
}

// The platform's cookie store keeps the latest value per site and name and
// drops a cookie whose expiry lies in the past, in the date form the login
// session writes.
TEST(HttpCookieStoreTest, SetsReplacesAndExpires) {
  HttpPlatform& http = RealHttpPlatform();
  const Text site = u"http://cookies.kavrel.test/";
  ASSERT_TRUE(http.SetCookie(site, u"HS_appUser", u"a%2520b;expires=Sun,22Feb2099 08:08:08 GMT"));
  ASSERT_TRUE(http.SetCookie(site, u"HS_appCode", u"c1;expires=Sun,22Feb2099 08:08:08 GMT"));
  EXPECT_EQ(http.GetCookies(site), u"HS_appUser=a%2520b; HS_appCode=c1");

  ASSERT_TRUE(http.SetCookie(site, u"HS_appCode", u"c2;expires=Sun,22Feb2099 08:08:08 GMT"));
  EXPECT_EQ(http.GetCookies(site), u"HS_appUser=a%2520b; HS_appCode=c2");

  http.SetCookie(site, u"HS_appUser", u";expires=Sun,22Feb1900 08:08:08 GMT");
  http.SetCookie(site, u"HS_appCode", u";expires=Sun,22Feb1900 08:08:08 GMT");
  EXPECT_EQ(http.GetCookies(site), u"");
  EXPECT_EQ(http.GetCookies(u"http://other.kavrel.test/"), u"");
}

}  // namespace
}  // namespace kavrel
