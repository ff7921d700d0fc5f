// The values of the advertisement catalogue, as the manager keeps them.
#pragma once

#include <cstdint>
#include <vector>

#include "common/platform/text.h"

namespace kavrel {

// WM_AD_READY: the manager's report to the main window. Sent with (0, 0)
// after the side advertisement was processed; posted with (show time, page
// path) as pointers to Texts held by the manager when a timed one is due.
constexpr unsigned WM_AD_READY = 1425;

// One show moment of a timed advertisement.
struct AdFeelTime {
  std::int32_t shown = 0;  // 0 or 1
  Text time;               // e.g. "2026-12-11 14:30"; matched by containment
};

// One advertisement of the catalogue (or of the saved send list, where only
// id, page path and modification time are filled).
struct AdEntry {
  Text key;
  Text spare;             // never set
  Text id;                // names the package folder and zip file
  Text type;              // "1": filePath is a page address; "2": a zip package
  Text modifyTime;        // decimal; larger is newer
  Text pagePath;          // the package address, then the local index.html
  Text endTime;           // decimal seconds since 1970 UTC
  Text showTime;          // seconds the advertisement window stays open
  std::vector<AdFeelTime> feelTimes;
};

// A catalogue number read as a signed 64-bit decimal: optional leading
// blanks and sign, then digits up to the first other character; empty or
// digitless reads as 0 and values past the range stop at its ends.
std::int64_t ReadAdNumber(TextView text);

}  // namespace kavrel
