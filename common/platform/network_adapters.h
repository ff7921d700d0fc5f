// The network-adapters seam: the machine's adapters with their hardware
// addresses, in the platform's stable order.
//
// Windows: the IPv4 adapter list (GetAdaptersInfo), descriptions converted
// from the ANSI code page. Linux: the interfaces of getifaddrs that have a
// link-layer address, loopback excluded, in interface-index order, described
// by their interface names. Safe on any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "common/platform/text.h"

namespace kavrel {

struct NetworkAdapter {
  Text description;
  std::vector<uint8_t> address;  // as many bytes as the platform reports (at most 8)
};

// False when the platform could not give the list; `adapters` is then empty.
// True with an empty list when the machine has no adapter.
bool ListNetworkAdapters(std::vector<NetworkAdapter>& adapters);

}  // namespace kavrel
