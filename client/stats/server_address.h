// The parts of the statistics server's address ("BIServer").
#pragma once

#include <cstdint>

#include "common/platform/text.h"

namespace kavrel {

enum class ServiceType { kUnknown, kHttp, kHttps };

struct ServerAddress {
  ServiceType serviceType = ServiceType::kUnknown;
  Text host;
  Text object;             // the path, "/" when the address has none
  std::uint16_t port = 0;  // from the address, else the scheme's default
};

// Splits "scheme://host[:port][/path]" (user information before an "@" is
// dropped). False, with `parts` cleared, when the address has no scheme or
// host, names a scheme other than http or https, or a port that is not a
// number from 1 to 65535.
bool ParseServerAddress(const Text& address, ServerAddress& parts);

}  // namespace kavrel
