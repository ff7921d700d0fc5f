#include "common/platform/cookie_jar.h"

#include <cstddef>

namespace kavrel {

namespace {

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

TextView Trim(TextView t) {
  while (!t.empty() && (t.front() == u' ' || t.front() == u'\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == u' ' || t.back() == u'\t')) t.remove_suffix(1);
  return t;
}

bool EqualsIgnoringCase(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

class DateScanner {
 public:
  explicit DateScanner(TextView t) : t_(t) {}
  void SkipSeparators() {
    while (i_ < t_.size() && (t_[i_] == u' ' || t_[i_] == u',' || t_[i_] == u'-')) ++i_;
  }
  TextView Letters() {
    const std::size_t start = i_;
    while (i_ < t_.size() && IsLetter(t_[i_])) ++i_;
    return t_.substr(start, i_ - start);
  }
  bool Number(int maxDigits, int& value) {
    int digits = 0;
    value = 0;
    while (i_ < t_.size() && IsDigit(t_[i_]) && digits < maxDigits) {
      value = value * 10 + (t_[i_] - u'0');
      ++i_;
      ++digits;
    }
    return digits > 0;
  }
  bool Expect(char16_t c) {
    if (i_ < t_.size() && t_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }

 private:
  TextView t_;
  std::size_t i_ = 0;
};

}  // namespace

bool ParseCookieDate(TextView date, std::int64_t& seconds) {
  static const char16_t* const kMonths[] = {u"jan", u"feb", u"mar", u"apr", u"may", u"jun",
                                            u"jul", u"aug", u"sep", u"oct", u"nov", u"dec"};
  DateScanner s(date);
  s.SkipSeparators();
  s.Letters();  // the weekday, not checked
  s.SkipSeparators();
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (!s.Number(2, day)) return false;
  s.SkipSeparators();
  const TextView monthName = s.Letters();
  int month = 0;
  for (int m = 0; m < 12; ++m)
    if (EqualsIgnoringCase(monthName, kMonths[m])) month = m + 1;
  if (month == 0) return false;
  s.SkipSeparators();
  if (!s.Number(4, year)) return false;
  s.SkipSeparators();
  if (!s.Number(2, hour) || !s.Expect(u':') || !s.Number(2, minute) || !s.Expect(u':') ||
      !s.Number(2, second))
    return false;
  if (day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
  seconds = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
            hour * 3600 + minute * 60 + second;
  return true;
}

Text CookieHost(const Text& url) {
  TextView rest(url);
  const std::size_t scheme = rest.find(u"://");
  if (scheme != TextView::npos) rest.remove_prefix(scheme + 3);
  std::size_t end = 0;
  while (end < rest.size() && rest[end] != u'/' && rest[end] != u':' && rest[end] != u'?' &&
         rest[end] != u'#')
    ++end;
  Text host;
  for (std::size_t i = 0; i < end; ++i) host += Lower(rest[i]);
  return host;
}

bool CookieJar::Set(const Text& url, const Text& name, const Text& data, std::int64_t nowSeconds) {
  const Text host = CookieHost(url);
  if (host.empty() || name.empty()) return false;

  TextView rest(data);
  const std::size_t semicolon = rest.find(u';');
  const Text value(Trim(rest.substr(0, semicolon)));
  bool expired = false;
  while (semicolon != TextView::npos && !rest.empty()) {
    const std::size_t cut = rest.find(u';');
    if (cut == TextView::npos) break;
    rest.remove_prefix(cut + 1);
    const TextView attribute = Trim(rest.substr(0, rest.find(u';')));
    const std::size_t equals = attribute.find(u'=');
    if (equals == TextView::npos) continue;
    if (!EqualsIgnoringCase(Trim(attribute.substr(0, equals)), u"expires")) continue;
    std::int64_t when = 0;
    if (ParseCookieDate(attribute.substr(equals + 1), when)) expired = when <= nowSeconds;
  }

  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->host == host && it->name == name) {
      if (expired)
        entries_.erase(it);
      else
        it->value = value;
      return true;
    }
  }
  if (!expired) entries_.push_back({host, name, value});
  return true;
}

Text CookieJar::Get(const Text& url) const {
  const Text host = CookieHost(url);
  Text out;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Entry& e : entries_) {
    if (e.host != host) continue;
    if (!out.empty()) out += u"; ";
    out += e.name + u"=" + e.value;
  }
  return out;
}

void CookieJar::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

}  // namespace kavrel
