#include "client/stats/os_display_name.h"

#include <gtest/gtest.h>

#include "client/stats/server_address.h"
#include "client/stats/stats_test_support.h"

namespace kavrel {
namespace {

OsVersionInfo Version(std::uint32_t major, std::uint32_t minor, std::uint32_t suite = 0,
                      std::uint32_t productType = 1, std::uint32_t platformId = 2,
                      std::uint32_t architecture = 0, bool r2 = false) {
  OsVersionInfo info;
  info.major = major;
  info.minor = minor;
  info.suiteMask = suite;
  info.productType = productType;
  info.platformId = platformId;
  info.processorArchitecture = architecture;
  info.serverR2 = r2;
  return info;
}

TEST(OsDisplayNameTest, NamesOfTheKnownVersions) {
  const struct {
    OsVersionInfo info;
    const char* name;
  } cases[] = {
      {Version(4, 0, 0, 1, 2), "Microsoft Windows NT 4.0"},
      {Version(4, 0, 0, 1, 1), "Microsoft Windows 95"},
      {Version(4, 0, 0, 1, 0), ""},
      {Version(4, 10, 0, 1, 1), "Microsoft Windows 98"},
      {Version(4, 90, 0, 1, 1), "Microsoft Windows Me"},
      {Version(5, 0, 0, 1), "Microsoft Windows 2000"},
      {Version(5, 0, 2, 3), "Microsoft Windows 2000 Advanced Server"},
      {Version(5, 0, 128, 3), "Microsoft Windows 2000 Datacenter Server"},
      {Version(5, 0, 2 | 128, 3), "Microsoft Windows 2000"},  // whole masks only
      {Version(5, 1, 64), "Microsoft Windows XP Embedded"},
      {Version(5, 1, 512), "Microsoft Windows XP Home Edition"},
      {Version(5, 1, 0x100), "Microsoft Windows XP Professional"},
      {Version(5, 2, 0, 1, 2, 9), "Microsoft Windows XP Professional x64 Edition"},
      {Version(5, 2, 0, 3, 2, 9, true), "Microsoft Windows Server 2003 R2"},
      {Version(5, 2, 8192, 3, 2, 0, true), "Microsoft Windows Server 2003 R2 Storage Server"},
      {Version(5, 2, 0, 1, 2, 0), "Microsoft Windows Server 2003"},
      {Version(5, 2, 2, 3), "Microsoft Windows Server 2003 Enterprise Edition"},
      {Version(5, 2, 128, 3), "Microsoft Windows Server 2003 Datacenter Edition"},
      {Version(5, 2, 1024, 3), "Microsoft Windows Server 2003 Web Edition"},
      {Version(5, 2, 8192, 3), "Microsoft Windows Server 2003 Storage Server"},
      {Version(5, 2, 16384, 3), "Microsoft Windows Server 2003 Compute Cluster Edition"},
      {Version(6, 0, 0, 1), "Microsoft Windows Vista"},
      {Version(6, 0, 512, 1), "Microsoft Windows Vista Home"},
      {Version(6, 0, 0, 3), "Microsoft Windows Server 2008"},
      {Version(6, 0, 128, 3), "Microsoft Windows Server 2008, Datacenter Server"},
      {Version(6, 0, 2, 3), "Microsoft Windows Server 2008 Enterprise"},
      {Version(6, 1, 0, 1), "Microsoft Windows 7"},
      {Version(6, 1, 0x100, 1, 2, 9), "Microsoft Windows 7"},
      {Version(6, 1, 0, 3), "Microsoft Windows Server 2008 R2"},
      {Version(6, 2, 0, 1), ""},
      {Version(6, 3, 0, 1), ""},
      {Version(10, 0, 0, 1), ""},
      {Version(3, 51), ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(U8(OsDisplayNameOf(c.info)), c.name)
        << c.info.major << "." << c.info.minor << " suite " << c.info.suiteMask << " type "
        << c.info.productType;
  }
}

// Natively there is no version information; under Windows the query
// answers and the name is the table's for what it reported.
TEST(OsDisplayNameTest, RunningSystem) {
  OsVersionInfo info;
  const bool known = QueryOsVersion(info);
#ifdef _WIN32
  ASSERT_TRUE(known);
  EXPECT_GE(info.major, 5u);
  EXPECT_EQ(U8(OsDisplayName()), U8(OsDisplayNameOf(info)));
#else
  EXPECT_FALSE(known);
  EXPECT_EQ(OsDisplayName(), Text());
#endif
}

TEST(ServerAddressTest, SplitsTheParts) {
  const struct {
    const char16_t* address;
    bool ok;
    ServiceType type;
    const char* host;
    const char* object;
    std::uint16_t port;
  } cases[] = {
      {u"http://stats.example:8080/bi/in", true, ServiceType::kHttp, "stats.example", "/bi/in",
       8080},
      {u"http://127.0.0.1:5000", true, ServiceType::kHttp, "127.0.0.1", "/", 5000},
      {u"HTTP://Stats.Example", true, ServiceType::kHttp, "Stats.Example", "/", 80},
      {u"https://s.example/x", true, ServiceType::kHttps, "s.example", "/x", 443},
      {u"http://user:pw@s.example:81?a=1", true, ServiceType::kHttp, "s.example", "/?a=1", 81},
      {u"stats.example:8080", false, ServiceType::kUnknown, "", "", 0},
      {u"ftp://s.example", false, ServiceType::kUnknown, "", "", 0},
      {u"http://", false, ServiceType::kUnknown, "", "", 0},
      {u"http://s.example:", false, ServiceType::kUnknown, "", "", 0},
      {u"http://s.example:0", false, ServiceType::kUnknown, "", "", 0},
      {u"http://s.example:65536", false, ServiceType::kUnknown, "", "", 0},
      {u"http://s.example:8o", false, ServiceType::kUnknown, "", "", 0},
      {u"", false, ServiceType::kUnknown, "", "", 0},
  };
  for (const auto& c : cases) {
    ServerAddress parts;
    parts.host = u"stale";
    EXPECT_EQ(ParseServerAddress(c.address, parts), c.ok) << U8(c.address);
    EXPECT_EQ(parts.serviceType, c.type) << U8(c.address);
    EXPECT_EQ(U8(parts.host), c.host) << U8(c.address);
    EXPECT_EQ(U8(parts.object), c.object) << U8(c.address);
    EXPECT_EQ(parts.port, c.port) << U8(c.address);
  }
}

}  // namespace
}  // namespace kavrel
