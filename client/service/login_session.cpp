#include "client/service/login_session.h"

#include <ctime>
#include <string>

#include "client/foundation/device_identity.h"
#include "client/foundation/settings_file.h"
#include "client/service/http_get.h"
#include "client/service/service_catalog.h"
#include "client/service/service_messages.h"
#include "common/platform/code_page.h"
#include "common/platform/http_session.h"
#include "common/platform/message_target.h"
#include "common/text/format.h"
#include "common/text/text_table.h"
#include "common/xml/xml_document.h"

namespace kavrel {

namespace {

constexpr char16_t kTypeStore[] = u"2";
constexpr char16_t kTypeApp[] = u"1";
constexpr std::int64_t kCookieLifetimeSeconds = 1800;
constexpr char16_t kFallbackExpiry[] = u";expires=Sun,22Feb2099 08:08:08 GMT";
constexpr char16_t kExpiredCookie[] = u";expires=Sun,22Feb1900 08:08:08 GMT";
constexpr char16_t kLoginCodeKey[] = u"logincode";

bool KeptByEncoding(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' ||
         c == '.';
}

std::string PercentEncode(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (KeptByEncoding(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::int64_t SystemUtcSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace

const char16_t* LoginStatusKey(int status) {
  switch (status) {
    case -8: return u"LOGIN_NETWORK_ERROR";
    case -7: return u"LOGIN_INVALIDPARAM";
    case -6: return u"LOGIN_NEED_AUTH";
    case -5: return u"LOGIN_UUID_NEEDUPDATE";
    case -4: return u"LOGIN_USER_BLACKLIST";
    case -3: return u"LOGIN_AUTH_FAIL";
    case -2: return u"LOGIN_REPEAT";
    case -1: return u"LOGIN_PSW_ERROR";
    case 1: return u"LOGIN_OK";
    default: return u"LOGIN_SERVICE_ERROR";  // 0, and statuses the service never sends
  }
}

Text EncodeAppUser(const Text& value) {
  return AsciiToText(PercentEncode(PercentEncode(TextToBytes(value, kCodePageAnsi))));
}

Text CookieExpiry(std::int64_t utcSeconds) {
  static const char16_t* const kDays[] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
  static const char16_t* const kMonths[] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                            u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
  // The platform's UTC conversion takes times from 1970 up to the year 3000.
  constexpr std::int64_t kFirst = 0;
  constexpr std::int64_t kLast = 32535216000LL;  // 3001-01-01
  if (utcSeconds < kFirst || utcSeconds >= kLast) return kFallbackExpiry;
  std::int64_t days = utcSeconds / 86400;
  std::int64_t rest = utcSeconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const int weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  // Civil date from days since 1970 (proleptic Gregorian).
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  const int hour = static_cast<int>(rest / 3600);
  const int minute = static_cast<int>(rest / 60 % 60);
  const int second = static_cast<int>(rest % 60);
  return FormatText(u";expires=%s,%d%s%d %02d:%02d:%02d GMT", kDays[weekday], day,
                    kMonths[month - 1], year, hour, minute, second);
}

LoginSession& LoginSession::Instance() {
  static LoginSession* instance =
      new LoginSession(ServiceCatalog::Instance(), SettingsFile::Instance(), MacAddressText());
  return *instance;
}

LoginSession::LoginSession(ServiceCatalog& catalog, SettingsFile& settings, Text macText)
    : catalog_(catalog), settings_(settings), clock_(&SystemUtcSeconds), mac(std::move(macText)) {}

Text LoginSession::LookupText(const char16_t* key) const { return TextTable::Instance().Lookup(key); }

void LoginSession::Reset(const Text& newServer, const Text& newUuid) {
  server = newServer;
  uuid = newUuid;
  signedIn = false;
  frequency = 0;
  outRule = 0;
  pulseStatus = 0;
  logoutStatus = 0;
  status = -1;
}

void LoginSession::Rebind(const Text& newUuid, const Text& newServer) {
  if (!newUuid.empty()) uuid = newUuid;
  if (!newServer.empty()) server = newServer;
}

int LoginSession::LoginStore(const Text& user, const Text& pass, Text& error) {
  if (signedIn) {
    error = LookupText(u"LOGIN_REPEAT");
    return kLoginOk;
  }
  status = kLoginNoAnswer;
  const Text loginCode = settings_.ReadValue(kLoginCodeKey, true);
  const Text url = FormatText(
      u"%s/pcUserLogin.action?terminal=2&um=%s&pwd=%s&type=%s&uuid=%s&mac=%s&loginCode=%s", server,
      user, pass, kTypeStore, uuid, mac, loginCode);
  return Login(url, kTypeStore, user, pass, error);
}

int LoginSession::LoginApp(const Text& user, const Text& pass, Text& error) {
  if (signedIn) {
    error = LookupText(u"LOGIN_REPEAT");
    return kLoginOk;
  }
  status = kLoginNoAnswer;
  const Text loginCode = settings_.ReadValue(kLoginCodeKey, true);
  const Text url = FormatText(
      u"%s/pcUserLogin.action?terminal=2&um=%s&pwd=%s&type=%s&uuid=%s&mac=%s&loginCode=%s", server,
      user, pass, kTypeApp, uuid, mac, loginCode);
  return Login(url, kTypeApp, user, pass, error);
}

int LoginSession::LoginAuthorized(const Text& user, const Text& pass, Text& error) {
  status = kLoginNoAnswer;
  const Text url = FormatText(u"%s/pcUserAuthLogin.action?terminal=2&um=%s&pwd=%s&uuid=%s&mac=%s",
                              server, user, pass, uuid, mac);
  return Login(url, kTypeStore, user, pass, error);
}

int LoginSession::Login(const Text& url, const Text& type, const Text& user, const Text& pass,
                        Text& error) {
  Text answer;
  if (HttpGetText(url, answer, error)) ParseLoginAnswer(answer);

  if (status == kLoginOk) {
    loginType = type;
    userId = user;
    password = pass;
    signedIn = true;
    settings_.WriteValue(kLoginCodeKey, uuid, false);
    SetWebCookies();
    return status;
  }
  error = LookupText(LoginStatusKey(status));
  signedIn = false;
  loginType.clear();
  userId.clear();
  password.clear();
  frequency = 0;
  outRule = 0;
  if (status == kLoginRenewUuid) RenewDeviceIdentity(error);
  return status;
}

void LoginSession::ParseLoginAnswer(const Text& answer) {
  XmlDocument doc(answer);
  if (!doc.FindElement()) return;
  // Each lookup continues after the child found before it.
  if (doc.FindChildElement(u"status")) status = AnswerInteger(doc.ChildElementText());
  if (doc.FindChildElement(u"frequency")) frequency = AnswerInteger(doc.ChildElementText());
  if (doc.FindChildElement(u"outRule")) outRule = AnswerInteger(doc.ChildElementText());
  if (doc.FindChildElement(u"appUser")) appUser = EncodeAppUser(doc.ChildElementText());
  if (doc.FindChildElement(u"appCode")) appCode = doc.ChildElementText();
  if (doc.FindChildElement(u"appUn")) appUn = doc.ChildElementText();
}

void LoginSession::RenewDeviceIdentity(Text& error) {
  catalog_.ClearUuid();
  if (!catalog_.AuthorizeDevice()) {
    error = LookupText(u"LOGIN_NETWORK_ERROR");
    return;
  }
  Rebind(catalog_.uuid(), catalog_.currentServer());
  if (renewalListener_) renewalListener_();
  if (notifyWindow_) notifyWindow_->Post(WM_RELOGIN, 0, 0);
}

void LoginSession::SetSessionCookies(const Text& user, const Text& code, const Text& userName) {
  const Text sites[] = {settings_.ReadValue(u"StorePage", false),
                        settings_.ReadValue(u"HomePage", false), server};
  HttpPlatform& http = Http();
  for (const Text& site : sites) {
    // A refused write (an empty address, say) changes nothing else.
    http.SetCookie(site, u"HS_appUser", user);
    http.SetCookie(site, u"HS_appCode", code);
    http.SetCookie(site, u"HS_appUser_N", userName);
  }
}

void LoginSession::SetWebCookies() {
  const Text expiry = CookieExpiry(clock_() + kCookieLifetimeSeconds);
  if (appUser.empty() || appCode.empty() || appUn.empty()) return;
  SetSessionCookies(appUser + expiry, appCode + expiry, appUn + expiry);
}

void LoginSession::ClearWebCookies() {
  appUser.clear();
  appCode.clear();
  appUn.clear();
  SetSessionCookies(kExpiredCookie, kExpiredCookie, kExpiredCookie);
}

bool LoginSession::Logout(Text& error) {
  if (!signedIn) {
    error = LookupText(u"LOGIN_NEED");
    return false;
  }
  const Text url =
      FormatText(u"%s/pcUserLogout.action?terminal=2&um=%s&uuid=%s", server, userId, uuid);
  ClearWebCookies();
  Text answer;
  if (!HttpGetText(url, answer, error)) {
    error = LookupText(u"LOGIN_NETWORK_ERROR");
    return false;
  }
  XmlDocument doc(answer);
  if (doc.FindElement() && doc.FindChildElement(u"status"))
    logoutStatus = AnswerInteger(doc.ChildElementText());
  switch (logoutStatus) {
    case 1:
      error = LookupText(u"LOGIN_LOGOUT_OK");
      signedIn = false;
      loginType.clear();
      userId.clear();
      password.clear();
      settings_.WriteValue(kLoginCodeKey, Text(), true);
      return true;
    case 0:
      error = LookupText(u"LOGIN_NETWORK_ERROR");
      return false;
    case -1:
      error = LookupText(u"LOGIN_ARGUMENT_ERROR");
      return false;
    default:
      error = LookupText(u"LOGIN_NEED");
      return false;
  }
}

int LoginSession::Pulse(Text& error) {
  pulseTime.clear();
  pulseStatus = kPulseNoAnswer;
  const Text url = FormatText(u"%s/pcPluse.action?terminal=2&uuid=%s&tvcode=%s&classifycode=%s",
                              server, uuid, tvCode, classifyCode);
  Text answer;
  if (HttpGetText(url, answer, error)) {
    XmlDocument doc(answer);
    doc.FindElement();
    if (doc.FindChildElement(u"status")) pulseStatus = AnswerInteger(doc.ChildElementText());
    if (doc.FindChildElement(u"time"))
      pulseTime = doc.ChildElementText();
    else
      error = LookupText(u"LOGIN_FILEFORMAT_ERROR");
  }
  return pulseStatus;
}

bool LoginSession::GetCredentials(Text& user, Text& pass, Text& error) const {
  if (!signedIn) {
    error = LookupText(u"LOGIN_NEED");
    return false;
  }
  user = userId;
  pass = password;
  return true;
}

bool LoginSession::GetUserId(Text& user, Text& error) const {
  if (!signedIn) {
    error = LookupText(u"LOGIN_NEED");
    return false;
  }
  user = userId;
  return true;
}

}  // namespace kavrel
