#include "common/platform/network_adapters.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

// Whatever the machine has, the list is well formed: addresses of at most 8
// bytes, and a failure leaves no half-filled list behind.
TEST(NetworkAdaptersTest, MachineListIsWellFormed) {
  std::vector<NetworkAdapter> adapters(1);
  if (!ListNetworkAdapters(adapters)) {
    EXPECT_TRUE(adapters.empty());
    return;
  }
  for (const NetworkAdapter& a : adapters) {
    EXPECT_LE(a.address.size(), 8u);
  }
}

}  // namespace
}  // namespace kavrel
