#include "client/stats/os_display_name.h"

namespace kavrel {

// Only Windows has the version information the records name.
bool QueryOsVersion(OsVersionInfo& info) {
  info = OsVersionInfo();
  return false;
}

}  // namespace kavrel
