// The device's network address, by which the service and the statistics
// server know the viewer's computer.
#pragma once

#include <vector>

#include "common/platform/network_adapters.h"
#include "common/platform/text.h"

namespace kavrel {

// The hardware address of the chosen adapter as upper-case hexadecimal byte
// pairs joined by "-" (for example "00-1A-2B-3C-4D-5E"), or the empty text
// when no adapter could be chosen. Queries the platform on every call; safe on
// any thread.
Text MacAddressText();

// The choice and format over a given adapter list: a single adapter is taken
// as it is; of several, the first whose description does not contain "VWware"
// (case-sensitive) is taken; none gives the empty text.
Text MacAddressTextOf(const std::vector<NetworkAdapter>& adapters);

}  // namespace kavrel
