#include "client/foundation/device_identity.h"

#include <gtest/gtest.h>

#include <regex>

namespace kavrel {
namespace {

const std::vector<uint8_t> kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const std::vector<uint8_t> kOther = {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5};

TEST(DeviceIdentityTest, ChoosesAndFormats) {
  const struct {
    const char* name;
    std::vector<NetworkAdapter> adapters;
    Text expected;
  } cases[] = {
      {"one adapter", {{u"Ethernet", kMac}}, u"00-1A-2B-3C-4D-5E"},
      {"virtual first", {{u"VWware Virtual Ethernet", kOther}, {u"Ethernet", kMac}}, u"00-1A-2B-3C-4D-5E"},
      {"case-sensitive test", {{u"vwware adapter", kMac}, {u"VWWARE adapter", kOther}}, u"00-1A-2B-3C-4D-5E"},
      {"single virtual one kept", {{u"VWware Virtual Ethernet", kOther}}, u"A0-B1-C2-D3-E4-F5"},
      {"every one virtual", {{u"VWware 1", kMac}, {u"xVWware 2", kOther}}, u""},
      {"no adapter", {}, u""},
      {"eight bytes", {{u"FireWire", {1, 2, 3, 4, 5, 6, 0xAB, 0xFF}}}, u"01-02-03-04-05-06-AB-FF"},
      {"no address", {{u"Tunnel", {}}}, u""},
  };
  for (const auto& c : cases) EXPECT_EQ(MacAddressTextOf(c.adapters), c.expected) << c.name;
}

TEST(DeviceIdentityTest, MachineGivesWellFormedTextOrEmpty) {
  const std::string mac = TextToUtf8(MacAddressText());
  EXPECT_TRUE(mac.empty() || std::regex_match(mac, std::regex("([0-9A-F]{2}-){0,7}[0-9A-F]{2}"))) << mac;
}

}  // namespace
}  // namespace kavrel
