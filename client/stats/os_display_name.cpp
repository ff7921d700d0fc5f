#include "client/stats/os_display_name.h"

namespace kavrel {

namespace {

// Suite masks the table tells apart.
constexpr std::uint32_t kSuiteEnterprise = 0x0002;
constexpr std::uint32_t kSuiteEmbedded = 0x0040;
constexpr std::uint32_t kSuiteDatacenter = 0x0080;
constexpr std::uint32_t kSuitePersonal = 0x0200;
constexpr std::uint32_t kSuiteBlade = 0x0400;
constexpr std::uint32_t kSuiteStorageServer = 0x2000;
constexpr std::uint32_t kSuiteComputeServer = 0x4000;

Text Windows2000(std::uint32_t suite) {
  Text name = u"Microsoft Windows 2000";
  if (suite == kSuiteEnterprise) name += u" Advanced Server";
  else if (suite == kSuiteDatacenter) name += u" Datacenter Server";
  return name;
}

Text WindowsXp(std::uint32_t suite) {
  Text name = u"Microsoft Windows XP";
  if (suite == kSuiteEmbedded) name += u" Embedded";
  else if (suite == kSuitePersonal) name += u" Home Edition";
  else name += u" Professional";
  return name;
}

Text Version52(const OsVersionInfo& info) {
  const std::uint32_t suite = info.suiteMask;
  if (info.productType == kProductWorkstation && info.processorArchitecture == kProcessorAmd64)
    return u"Microsoft Windows XP Professional x64 Edition";
  if (info.serverR2) {
    Text name = u"Microsoft Windows Server 2003 R2";
    if (suite == kSuiteStorageServer) name += u" Storage Server";
    return name;
  }
  Text name = u"Microsoft Windows Server 2003";
  if (suite == kSuiteEnterprise) name += u" Enterprise Edition";
  else if (suite == kSuiteDatacenter) name += u" Datacenter Edition";
  else if (suite == kSuiteBlade) name += u" Web Edition";
  else if (suite == kSuiteStorageServer) name += u" Storage Server";
  else if (suite == kSuiteComputeServer) name += u" Compute Cluster Edition";
  return name;
}

Text Version60(const OsVersionInfo& info) {
  if (info.productType == kProductWorkstation) {
    Text name = u"Microsoft Windows Vista";
    if (info.suiteMask == kSuitePersonal) name += u" Home";
    return name;
  }
  Text name = u"Microsoft Windows Server 2008";
  if (info.suiteMask == kSuiteDatacenter) name += u", Datacenter Server";
  else if (info.suiteMask == kSuiteEnterprise) name += u" Enterprise";
  return name;
}

}  // namespace

Text OsDisplayNameOf(const OsVersionInfo& info) {
  const std::uint32_t major = info.major;
  const std::uint32_t minor = info.minor;
  if (major == 4 && minor == 0) {
    if (info.platformId == kPlatformWindowsNt) return u"Microsoft Windows NT 4.0";
    if (info.platformId == kPlatformWindows9x) return u"Microsoft Windows 95";
    return Text();
  }
  if (major == 4 && minor == 10) return u"Microsoft Windows 98";
  if (major == 4 && minor == 90) return u"Microsoft Windows Me";
  if (major == 5 && minor == 0) return Windows2000(info.suiteMask);
  if (major == 5 && minor == 1) return WindowsXp(info.suiteMask);
  if (major == 5 && minor == 2) return Version52(info);
  if (major == 6 && minor == 0) return Version60(info);
  if (major == 6 && minor == 1) {
    return info.productType == kProductWorkstation ? u"Microsoft Windows 7"
                                                   : u"Microsoft Windows Server 2008 R2";
  }
  return Text();
}

Text OsDisplayName() {
  OsVersionInfo info;
  if (!QueryOsVersion(info)) return Text();
  return OsDisplayNameOf(info);
}

}  // namespace kavrel
