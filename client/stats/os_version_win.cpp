#include <windows.h>

#include "client/stats/os_display_name.h"

namespace kavrel {

bool QueryOsVersion(OsVersionInfo& info) {
  info = OsVersionInfo();
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  // Without a compatibility manifest, systems after 6.2 report 6.2 here;
  // the table lists none of them, so the name is empty either way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return false;
#pragma GCC diagnostic pop
  // The native architecture: a 32-bit process on a 64-bit system must see x64.
  SYSTEM_INFO system{};
  GetNativeSystemInfo(&system);
  info.major = version.dwMajorVersion;
  info.minor = version.dwMinorVersion;
  info.platformId = version.dwPlatformId;
  info.suiteMask = version.wSuiteMask;
  info.productType = version.wProductType;
  info.processorArchitecture = system.wProcessorArchitecture;
  info.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
  return true;
}

}  // namespace kavrel
