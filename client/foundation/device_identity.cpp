#include "client/foundation/device_identity.h"

#include "common/text/format.h"

namespace kavrel {

Text MacAddressTextOf(const std::vector<NetworkAdapter>& adapters) {
  if (adapters.empty()) return Text();
  const NetworkAdapter* chosen = nullptr;
  if (adapters.size() == 1) {
    // A list of one record is taken as it is, without the description test.
    chosen = &adapters.front();
  } else {
    for (const NetworkAdapter& a : adapters) {
      if (a.description.find(u"VWware") == Text::npos) {
        chosen = &a;
        break;
      }
    }
  }
  if (!chosen) return Text();
  Text out;
  const std::vector<uint8_t>& bytes = chosen->address;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += Format(i + 1 < bytes.size() ? u"%.2X-" : u"%.2X", static_cast<unsigned>(bytes[i]));
  }
  return out;
}

Text MacAddressText() {
  std::vector<NetworkAdapter> adapters;
  if (!ListNetworkAdapters(adapters)) return Text();
  return MacAddressTextOf(adapters);
}

}  // namespace kavrel
