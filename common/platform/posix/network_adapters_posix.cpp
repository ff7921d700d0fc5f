#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/socket.h>

#include <algorithm>
#include <vector>

#include "common/platform/network_adapters.h"

namespace kavrel {

bool ListNetworkAdapters(std::vector<NetworkAdapter>& adapters) {
  adapters.clear();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  std::vector<std::pair<int, NetworkAdapter>> found;
  for (const ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET || (a->ifa_flags & IFF_LOOPBACK)) continue;
    const sockaddr_ll* link = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
    if (link->sll_halen == 0) continue;
    NetworkAdapter adapter;
    adapter.description = Utf8ToText(a->ifa_name ? a->ifa_name : "");
    const size_t length = std::min<size_t>(link->sll_halen, 8);
    adapter.address.assign(link->sll_addr, link->sll_addr + length);
    found.emplace_back(link->sll_ifindex, std::move(adapter));
  }
  freeifaddrs(list);
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& f : found) adapters.push_back(std::move(f.second));
  return true;
}

}  // namespace kavrel
