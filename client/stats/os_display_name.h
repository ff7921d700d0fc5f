// The operating system's display name for the usage records, chosen from the
// system's extended version information.
#pragma once

#include <cstdint>

#include "common/platform/text.h"

namespace kavrel {

// The extended version information of the system, as Windows reports it.
struct OsVersionInfo {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t platformId = 0;            // 1 = Windows 9x, 2 = Windows NT
  std::uint32_t suiteMask = 0;
  std::uint32_t productType = 0;           // 1 = workstation
  std::uint32_t processorArchitecture = 0;  // 9 = x64
  bool serverR2 = false;                   // the system's "Server 2003 R2" metric
};

constexpr std::uint32_t kPlatformWindows9x = 1;
constexpr std::uint32_t kPlatformWindowsNt = 2;
constexpr std::uint32_t kProductWorkstation = 1;
constexpr std::uint32_t kProcessorAmd64 = 9;

// The version information of the running system. False where there is none
// (every build but Windows) or when the system does not answer.
bool QueryOsVersion(OsVersionInfo& info);

// The name for `info` from the table of known versions; the empty text for
// every version the table does not list (6.2 and later among them). Suite
// masks are compared with the whole mask.
Text OsDisplayNameOf(const OsVersionInfo& info);

// The name of the running system; empty when it is unknown.
Text OsDisplayName();

}  // namespace kavrel
