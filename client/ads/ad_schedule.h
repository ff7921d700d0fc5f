// The schedule of timed advertisements: which show moments are due now.
#pragma once

#include <vector>

#include "client/ads/ad_clock.h"
#include "client/ads/ad_entry.h"
#include "common/platform/message_target.h"

namespace kavrel {

// One pass of the schedule. For each entry whose end time is not before the
// clock's UTC time, each show moment not yet shown whose text contains the
// clock's local minute text is posted to `target` as WM_AD_READY with
// (&entry.showTime, &entry.pagePath) and marked shown. Returns the number
// of moments that fired. `entries` must outlive the posted pointers.
int RunSchedulePass(std::vector<AdEntry>& entries, const AdClock& clock, MessageTarget& target);

}  // namespace kavrel
