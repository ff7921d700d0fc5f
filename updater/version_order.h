// The textual order of version texts that decides what to update.
//
// Versions are compared as text, not as numbers: code unit by code unit with
// A-Z folded to a-z, a proper prefix being lower. So "1.5.0.10" is lower than
// "1.5.0.9"; the service publishes versions whose text order is their
// release order.
#pragma once

#include "common/platform/text.h"

namespace kavrel {

// Negative, zero or positive as `a` sorts before, with or after `b`.
int CompareVersionText(TextView a, TextView b);

inline bool IsVersionLower(TextView a, TextView b) { return CompareVersionText(a, b) < 0; }

}  // namespace kavrel
