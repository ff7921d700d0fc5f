// A small in-memory cookie store with the observable behaviour the client
// relies on from the system's store: one value per host and name, a later
// write replaces an earlier one, and a write whose ";expires=" lies in the
// past removes the cookie. Paths and ports are not told apart; every cookie
// of the client is set for a site's address. Used as the Linux cookie store
// and by the fake HTTP platform. Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "common/platform/text.h"

namespace kavrel {

class CookieJar {
 public:
  // `nowSeconds` is the current UTC time in seconds since 1970. False when
  // `url` has no host or `name` is empty.
  bool Set(const Text& url, const Text& name, const Text& data, std::int64_t nowSeconds);
  // "a=1; b=2" for the host of `url`, in the order the cookies were first set.
  Text Get(const Text& url) const;
  void Clear();

 private:
  struct Entry {
    Text host;
    Text name;
    Text value;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

// The lower-cased host of "scheme://host[:port][/...]" (or of "host/..."
// without a scheme); empty when there is none.
Text CookieHost(const Text& url);

// Reads an HTTP cookie date ("Sun, 22 Feb 2099 08:08:08 GMT", also written
// without blanks as "Sun,22Feb2099 08:08:08 GMT") into seconds since 1970.
// False when it is not such a date.
bool ParseCookieDate(TextView date, std::int64_t& seconds);

}  // namespace kavrel
