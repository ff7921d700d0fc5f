// LoginSession: the client's record of the viewer's sign-in with the
// service, and the four account requests (login, device-authorised login,
// logout, pulse).
//
// It keeps the credentials and the per-login settings the service returns
// (pulse frequency, sign-out rule, web-session values), remembers the uuid
// of the last successful login in "logincode", and copies the web-session
// values into the platform's cookie store for the service's web pages.
//
// Every operation runs on the UI thread and blocks it for at most the
// request time-outs; the object has no lock. The process-wide instance is
// made on first use and never destroyed; tests make their own.
#pragma once

#include <cstdint>
#include <functional>

#include "common/platform/text.h"

namespace kavrel {

class MessageTarget;
class ServiceCatalog;
class SettingsFile;

// Login statuses of the service (and -8 for no answer).
constexpr int kLoginNoAnswer = -8;
constexpr int kLoginRenewUuid = -5;
constexpr int kLoginOk = 1;
// Pulse status while the pulse has no answer.
constexpr int kPulseNoAnswer = 3;

// The text key reported for a login status; statuses the service does not
// define are reported as a service error.
const char16_t* LoginStatusKey(int status);

// The web-session user value as stored: ANSI bytes percent-encoded twice,
// keeping 0-9, a-z, A-Z, "/" and ".".
Text EncodeAppUser(const Text& value);

// The ";expires=..." suffix of the web-session cookies for a UTC time in
// seconds since 1970, e.g. ";expires=Sun,22Feb2099 08:08:08 GMT".
Text CookieExpiry(std::int64_t utcSeconds);

class LoginSession {
 public:
  static LoginSession& Instance();

  LoginSession(ServiceCatalog& catalog, SettingsFile& settings, Text mac);
  LoginSession(const LoginSession&) = delete;
  LoginSession& operator=(const LoginSession&) = delete;

  // Start-up: server and uuid, signed out, status -1, the pulse values 0.
  void Reset(const Text& server, const Text& uuid);
  // Replaces uuid and server, each only when the new value is not empty.
  void Rebind(const Text& uuid, const Text& server);

  // The logins answer the status; `error` receives the localised text for
  // any status but 1. A store or app login while signed in answers 1 with
  // the text of "LOGIN_REPEAT" and sends nothing.
  int LoginStore(const Text& userId, const Text& password, Text& error);
  int LoginApp(const Text& userId, const Text& password, Text& error);
  int LoginAuthorized(const Text& userId, const Text& password, Text& error);

  // True when the service confirmed the sign-out; `error` gets a text in
  // every case.
  bool Logout(Text& error);
  // One keep-alive; answers pulseStatus (kPulseNoAnswer without an answer).
  int Pulse(Text& error);

  bool GetCredentials(Text& userId, Text& password, Text& error) const;
  bool GetUserId(Text& userId, Text& error) const;

  void SetTvCode(const Text& code) { tvCode = code; }
  void SetClassifyCode(const Text& code) { classifyCode = code; }

  // Where WM_RELOGIN goes after the device identity was renewed during a
  // login, and who else must learn the new uuid and server then (the
  // programme guide). Either may be left unset.
  void SetNotifyWindow(MessageTarget* window) { notifyWindow_ = window; }
  void SetRenewalListener(std::function<void()> listener) { renewalListener_ = std::move(listener); }
  // The UTC clock of the cookie expiry, seconds since 1970. For tests.
  void SetClock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }

  bool IsSignedIn() const { return signedIn; }
  int Status() const { return status; }
  int PulseStatus() const { return pulseStatus; }
  int LogoutStatus() const { return logoutStatus; }
  int Frequency() const { return frequency; }
  int OutRule() const { return outRule; }
  const Text& LoginType() const { return loginType; }
  const Text& Mac() const { return mac; }
  const Text& PulseTime() const { return pulseTime; }
  const Text& Server() const { return server; }
  const Text& Uuid() const { return uuid; }
  const Text& AppUser() const { return appUser; }
  const Text& AppCode() const { return appCode; }
  const Text& AppUn() const { return appUn; }

 private:
  int Login(const Text& url, const Text& type, const Text& userId, const Text& password,
            Text& error);
  void ParseLoginAnswer(const Text& answer);
  void RenewDeviceIdentity(Text& error);
  void SetWebCookies();
  void ClearWebCookies();
  void SetSessionCookies(const Text& user, const Text& code, const Text& userName);
  Text LookupText(const char16_t* key) const;

  ServiceCatalog& catalog_;
  SettingsFile& settings_;
  MessageTarget* notifyWindow_ = nullptr;
  std::function<void()> renewalListener_;
  std::function<std::int64_t()> clock_;

  int status = 0;
  int pulseStatus = 0;
  Text server;
  Text userId;
  Text password;
  Text uuid;
  Text mac;
  Text loginType;
  Text tvCode;
  Text classifyCode;
  Text pulseTime;
  bool signedIn = false;
  int logoutStatus = 0;
  int frequency = 0;
  int outRule = 0;
  Text appUser;
  Text appCode;
  Text appUn;
};

}  // namespace kavrel
