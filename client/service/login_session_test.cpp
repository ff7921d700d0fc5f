#include "client/service/login_session.h"

#include <gtest/gtest.h>

#include "client/service/service_catalog.h"
#include "client/service/service_messages.h"
#include "client/service/service_test_support.h"
#include "common/platform/message_target.h"

namespace kavrel {
namespace {

constexpr std::int64_t kNow = 4075429088;  // 1800 s before Sun, 22 Feb 2099 08:08:08 UTC
const char16_t kExpiry[] = u";expires=Sun,22Feb2099 08:08:08 GMT";
const char16_t kExpired[] = u";expires=Sun,22Feb1900 08:08:08 GMT";
const char kLoginOk[] =
    "<login><status>1</status><frequency>60000</frequency><outRule>3</outRule>"
    "<appUser>a b</appUser><appCode>C9</appCode><appUn>Viewer</appUn></login>";

class LoginSessionTest : public ServiceTest {
 protected:
  LoginSessionTest() : catalog(settings()), session(catalog, settings(), u"00-1A-2B-3C-4D-5E") {
    settings().WriteValue(u"StorePage", u"http://store/page", true);
    settings().WriteValue(u"HomePage", u"http://home/", true);
    settings().WriteValue(u"logincode", u"OLD", false);
    http.Answer(u"http://a/pcAuth.action", "<auth><result>1</result><uuid>U1</uuid></auth>");
    http.Answer(u"http://a/pcTv.action", "<groups/>");
    catalog.Init(nullptr, 0, {u"http://a"});
    session.Reset(catalog.currentServer(), catalog.uuid());
    session.SetClock([] { return kNow; });
    session.SetNotifyWindow(&window);
    http.ClearRecords();
  }

  void AnswerLogin(const std::string& body) {
    http.Forget(u"http://a/pcUser");
    http.Answer(u"http://a/pcUser", body);
  }

  void SignIn() {
    AnswerLogin(kLoginOk);
    Text error;
    ASSERT_EQ(session.LoginStore(u"viewer", u"pw", error), 1);
    http.ClearRecords();
  }

  ServiceCatalog catalog;
  LoginSession session;
  RecordingMessageTarget window;
};

TEST(LoginTextTest, AppUserEncodingAndCookieExpiry) {
  EXPECT_EQ(EncodeAppUser(u"a b"), u"a%2520b");
  EXPECT_EQ(EncodeAppUser(u"x.y/z"), u"x.y/z");
  EXPECT_EQ(EncodeAppUser(u"a-b=\u00E9"), u"a%252Db%253D%25E9");
  EXPECT_EQ(CookieExpiry(4075430888), kExpiry);
  EXPECT_EQ(CookieExpiry(0), u";expires=Thu,1Jan1970 00:00:00 GMT");
  EXPECT_EQ(CookieExpiry(951825599), u";expires=Tue,29Feb2000 11:59:59 GMT");
  EXPECT_EQ(CookieExpiry(-1), kExpiry);  // not convertible: the fixed text
}

// A store login sends the documented request, keeps the answer's settings,
// remembers the uuid and sets the three cookies for the three sites.
TEST_F(LoginSessionTest, StoreLoginSignsInAndSetsCookies) {
  AnswerLogin(kLoginOk);
  Text error = u"untouched";
  EXPECT_EQ(session.LoginStore(u"viewer", u"p&w d", error), 1);
  EXPECT_EQ(error, u"untouched");
  EXPECT_EQ(http.RequestedUrls(),
            (std::vector<Text>{u"http://a/pcUserLogin.action?terminal=2&um=viewer&pwd=p&w d&type=2"
                               u"&uuid=U1&mac=00-1A-2B-3C-4D-5E&loginCode=OLD"}));
  EXPECT_TRUE(session.IsSignedIn());
  EXPECT_EQ(session.LoginType(), u"2");
  EXPECT_EQ(session.Frequency(), 60000);
  EXPECT_EQ(session.OutRule(), 3);
  EXPECT_EQ(session.AppUser(), u"a%2520b");
  EXPECT_EQ(settings().ReadValue(u"logincode", true), u"U1");
  Text user, pass;
  EXPECT_TRUE(session.GetCredentials(user, pass, error));
  EXPECT_EQ(user, u"viewer");
  EXPECT_EQ(pass, u"p&w d");

  std::vector<FakeCookieWrite> expected;
  for (const char16_t* site : {u"http://store/page", u"http://home/", u"http://a"}) {
    expected.push_back({site, u"HS_appUser", Text(u"a%2520b") + kExpiry});
    expected.push_back({site, u"HS_appCode", Text(u"C9") + kExpiry});
    expected.push_back({site, u"HS_appUser_N", Text(u"Viewer") + kExpiry});
  }
  const auto writes = http.CookieWrites();
  ASSERT_EQ(writes.size(), expected.size());
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].url, expected[i].url) << i;
    EXPECT_EQ(writes[i].name, expected[i].name) << i;
    EXPECT_EQ(writes[i].data, expected[i].data) << i;
  }

  // Signed in already: success with the repeat text and no request.
  http.ClearRecords();
  EXPECT_EQ(session.LoginApp(u"other", u"x", error), 1);
  EXPECT_EQ(error, Lookup(u"LOGIN_REPEAT"));
  EXPECT_TRUE(http.Requests().empty());
  EXPECT_EQ(session.LoginType(), u"2");
}

TEST_F(LoginSessionTest, AppAndAuthorisedLoginsUseTheirRequests) {
  AnswerLogin("<login><status>1</status><appCode></appCode></login>");
  Text error;
  EXPECT_EQ(session.LoginApp(u"u", u"p", error), 1);
  EXPECT_EQ(session.LoginType(), u"1");
  EXPECT_EQ(session.Frequency(), 0);       // absent: as it was
  EXPECT_TRUE(http.CookieWrites().empty());  // an empty appCode sets no cookie
  EXPECT_NE(http.RequestedUrls().at(0).find(u"&type=1&"), Text::npos);

  // The device-authorised login has no signed-in check; failing, it signs out.
  AnswerLogin("<login><status>-6</status></login>");
  EXPECT_EQ(session.LoginAuthorized(u"u", u"p", error), -6);
  EXPECT_EQ(http.RequestedUrls().back(),
            u"http://a/pcUserAuthLogin.action?terminal=2&um=u&pwd=p&uuid=U1&mac=00-1A-2B-3C-4D-5E");
  EXPECT_EQ(error, Lookup(u"LOGIN_NEED_AUTH"));
  EXPECT_FALSE(session.IsSignedIn());
  EXPECT_EQ(session.LoginType(), u"");

  AnswerLogin("<login><status>1</status></login>");
  EXPECT_EQ(session.LoginAuthorized(u"u", u"p", error), 1);
  EXPECT_EQ(session.LoginType(), u"2");
}

// Every refusal signs out, clears the credentials and the pulse settings and
// reports its own text.
TEST_F(LoginSessionTest, RefusalsReportTheirText) {
  struct Case {
    const char* answer;  // null: no answer at all
    int status;
    const char16_t* key;
  } cases[] = {
      {nullptr, -8, u"LOGIN_NETWORK_ERROR"},
      {"<html>Server error</html>", -8, u"LOGIN_NETWORK_ERROR"},
      {"<login><status>-7</status><frequency>5</frequency></login>", -7, u"LOGIN_INVALIDPARAM"},
      {"<login><status>-4</status></login>", -4, u"LOGIN_USER_BLACKLIST"},
      {"<login><status>-3</status></login>", -3, u"LOGIN_AUTH_FAIL"},
      {"<login><status>-2</status></login>", -2, u"LOGIN_REPEAT"},
      {"<login><status>-1</status></login>", -1, u"LOGIN_PSW_ERROR"},
      {"<login><status>0</status></login>", 0, u"LOGIN_SERVICE_ERROR"},
      {"<login><status>9</status></login>", 9, u"LOGIN_SERVICE_ERROR"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer ? c.answer : "no answer");
    SignIn();
    http.Forget(u"http://a/pcUser");
    if (c.answer) http.Answer(u"http://a/pcUser", c.answer);
    // LoginAuthorized, because the others refuse to run while signed in.
    Text error;
    EXPECT_EQ(session.LoginAuthorized(u"u", u"p", error), c.status);
    EXPECT_EQ(error, Lookup(c.key));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(session.IsSignedIn());
    EXPECT_EQ(session.Frequency(), 0);
    EXPECT_EQ(session.OutRule(), 0);
    Text user;
    EXPECT_FALSE(session.GetUserId(user, error));
    EXPECT_EQ(error, Lookup(u"LOGIN_NEED"));
  }
  EXPECT_TRUE(window.Messages().empty());
}

// Status -5: the device identity is renewed, the session re-bound, and the
// main window told to sign in again; the login itself still fails.
TEST_F(LoginSessionTest, RenewsTheDeviceIdentityOnMinusFive) {
  int renewals = 0;
  session.SetRenewalListener([&] { ++renewals; });
  http.Forget(u"http://a/pcAuth.action");
  http.Answer(u"http://a/pcAuth.action", "<auth><result>1</result><uuid>U2</uuid></auth>");
  AnswerLogin("<login><status>-5</status></login>");
  Text error;
  EXPECT_EQ(session.LoginStore(u"u", u"p", error), -5);
  EXPECT_EQ(error, Lookup(u"LOGIN_UUID_NEEDUPDATE"));
  EXPECT_EQ(catalog.uuid(), u"U2");
  EXPECT_EQ(session.Uuid(), u"U2");
  EXPECT_EQ(renewals, 1);
  EXPECT_EQ(window.Messages(),
            (std::vector<RecordingMessageTarget::Message>{{WM_RELOGIN, 0, 0, false}}));
  EXPECT_EQ(http.RequestedUrls(u"http://a/pcAuth.action").size(), 1u);

  // A renewal that fails reports the network text and posts nothing.
  window.Clear();
  http.Forget(u"http://a/pcAuth.action");
  http.Fail(u"http://a/pcAuth.action");
  EXPECT_EQ(session.LoginStore(u"u", u"p", error), -5);
  EXPECT_EQ(error, Lookup(u"LOGIN_NETWORK_ERROR"));
  EXPECT_TRUE(window.Messages().empty());
  EXPECT_EQ(session.Uuid(), u"U2");
  EXPECT_EQ(renewals, 1);
}

TEST_F(LoginSessionTest, LogoutByStatus) {
  Text error;
  EXPECT_FALSE(session.Logout(error));
  EXPECT_EQ(error, Lookup(u"LOGIN_NEED"));
  EXPECT_TRUE(http.Requests().empty());

  struct Case {
    const char* answer;  // null: no answer
    bool result;
    const char16_t* key;
  } cases[] = {
      {"<logout/>", false, u"LOGIN_NETWORK_ERROR"},  // no status: the previous 0
      {nullptr, false, u"LOGIN_NETWORK_ERROR"},
      {"<logout><status>-1</status></logout>", false, u"LOGIN_ARGUMENT_ERROR"},
      {"<logout></logout>", false, u"LOGIN_ARGUMENT_ERROR"},  // the previous -1 again
      {"<logout><status>4</status></logout>", false, u"LOGIN_NEED"},
      {"<logout><status>1</status></logout>", true, u"LOGIN_LOGOUT_OK"},
  };
  SignIn();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer ? c.answer : "no answer");
    http.Forget(u"http://a/pcUserLogout.action");
    if (c.answer)
      http.Answer(u"http://a/pcUserLogout.action", c.answer);
    else
      http.Fail(u"http://a/pcUserLogout.action");
    http.ClearRecords();
    EXPECT_EQ(session.Logout(error), c.result);
    EXPECT_EQ(error, Lookup(c.key));
    EXPECT_EQ(session.IsSignedIn(), !c.result);
    EXPECT_EQ(http.RequestedUrls(),
              (std::vector<Text>{u"http://a/pcUserLogout.action?terminal=2&um=viewer&uuid=U1"}));
    // The web-session cookies are expired before the request, whatever follows.
    const auto writes = http.CookieWrites();
    ASSERT_EQ(writes.size(), 9u);
    for (const auto& w : writes) EXPECT_EQ(w.data, kExpired);
    EXPECT_EQ(session.AppUser(), u"");
  }
  EXPECT_EQ(settings().ReadValue(u"logincode", false), u"");
  EXPECT_EQ(session.LoginType(), u"");

  // The next login writes the uuid again.
  SignIn();
  EXPECT_EQ(settings().ReadValue(u"logincode", true), u"U1");
}

TEST_F(LoginSessionTest, PulseReadsStatusAndTime) {
  session.SetTvCode(u"T5");
  session.SetClassifyCode(u"c1");
  http.Answer(u"http://a/pcPluse.action", "<pulse><status>0</status><time>3600000</time></pulse>");
  Text error;
  EXPECT_EQ(session.Pulse(error), 0);
  EXPECT_EQ(session.PulseTime(), u"3600000");
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(http.RequestedUrls(),
            (std::vector<Text>{u"http://a/pcPluse.action?terminal=2&uuid=U1&tvcode=T5&classifycode=c1"}));

  http.Forget(u"http://a/pcPluse.action");
  http.Answer(u"http://a/pcPluse.action", "<pulse><status>1</status></pulse>");
  EXPECT_EQ(session.Pulse(error), 1);
  EXPECT_EQ(session.PulseTime(), u"");
  EXPECT_EQ(error, Lookup(u"LOGIN_FILEFORMAT_ERROR"));

  http.Forget(u"http://a/pcPluse.action");
  error.clear();
  EXPECT_EQ(session.Pulse(error), kPulseNoAnswer);
  EXPECT_EQ(error, Lookup(u"LOGIN_NETWORK_ERROR"));
}

TEST_F(LoginSessionTest, ResetAndRebind) {
  SignIn();
  session.Rebind(u"", u"http://b");
  EXPECT_EQ(session.Server(), u"http://b");
  EXPECT_EQ(session.Uuid(), u"U1");
  session.Rebind(u"U3", u"");
  EXPECT_EQ(session.Uuid(), u"U3");
  session.Reset(u"http://c", u"U4");
  EXPECT_FALSE(session.IsSignedIn());
  EXPECT_EQ(session.Status(), -1);
  EXPECT_EQ(session.Frequency(), 0);
  EXPECT_EQ(session.Server(), u"http://c");
}

}  // namespace
}  // namespace kavrel
