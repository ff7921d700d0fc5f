#include "client/stats/server_address.h"

#include <utility>

namespace kavrel {

namespace {

Text Lower(Text text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

}  // namespace

bool ParseServerAddress(const Text& address, ServerAddress& parts) {
  parts = ServerAddress();
  const std::size_t schemeEnd = address.find(u"://");
  if (schemeEnd == Text::npos || schemeEnd == 0) return false;
  const Text scheme = Lower(address.substr(0, schemeEnd));
  ServerAddress result;
  if (scheme == u"http") {
    result.serviceType = ServiceType::kHttp;
    result.port = 80;
  } else if (scheme == u"https") {
    result.serviceType = ServiceType::kHttps;
    result.port = 443;
  } else {
    return false;
  }
  const std::size_t authorityStart = schemeEnd + 3;
  std::size_t authorityEnd = address.find_first_of(u"/?#", authorityStart);
  if (authorityEnd == Text::npos) authorityEnd = address.size();
  Text authority = address.substr(authorityStart, authorityEnd - authorityStart);
  const std::size_t at = authority.rfind(u'@');
  if (at != Text::npos) authority.erase(0, at + 1);
  const std::size_t colon = authority.find(u':');
  if (colon != Text::npos) {
    const Text digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    std::uint32_t port = 0;
    for (char16_t c : digits) {
      if (c < u'0' || c > u'9') return false;
      port = port * 10 + static_cast<std::uint32_t>(c - u'0');
    }
    if (port == 0 || port > 65535) return false;
    result.port = static_cast<std::uint16_t>(port);
    authority.resize(colon);
  }
  if (authority.empty()) return false;
  result.host = authority;
  // The path starts at the authority's end: "/", or a query or fragment
  // that then stands on the root.
  Text object(1, u'/');
  if (authorityEnd < address.size())
    object.append(address, address[authorityEnd] == u'/' ? authorityEnd + 1 : authorityEnd,
                  Text::npos);
  result.object = std::move(object);
  parts = result;
  return true;
}

}  // namespace kavrel
