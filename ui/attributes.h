// Parsing of skin attribute values. Every parser answers false on text it
// cannot read completely and leaves its output untouched, so a bad number in
// a skin skips that attribute instead of setting a half-read value.
#pragma once

#include <optional>

#include "common/platform/text.h"
#include "ui/geometry.h"

namespace kavrel {

// A decimal integer with an optional sign, surrounded by optional spaces.
// Values beyond +-1000000 are refused: no skin measure is that large and it
// keeps layout arithmetic far from overflow.
bool ParseUiInt(TextView text, int* value);
// "true" / "false" (ASCII case-blind), also "1" / "0".
bool ParseUiBool(TextView text, bool* value);
// "l,t,r,b" (four integers).
bool ParseUiRect(TextView text, UiRect* value);
// "cx,cy" (two integers).
bool ParseUiSize(TextView text, UiSize* value);
// "#AARRGGBB" or "#RRGGBB" (then opaque), the "#" optional, also "0x" prefix.
bool ParseUiColor(TextView text, UiColor* value);

// A picture reference: either a bare file name or a list of key='value'
// pairs: file='a.png' source='l,t,r,b' (the part of the picture to draw)
// corner='l,t,r,b' (edges kept unstretched). Unknown keys are ignored.
struct UiImage {
  Text file;
  UiRect source;           // empty: the whole picture
  UiRect corner;           // zeros: stretch the whole source
  bool empty() const { return file.empty(); }
};
bool ParseUiImage(TextView text, UiImage* value);

// Text alignment flags used by labels and items.
enum UiAlign : unsigned {
  kAlignLeft = 0x0,
  kAlignCenter = 0x1,
  kAlignRight = 0x2,
  kAlignTop = 0x0,
  kAlignVCenter = 0x4,
  kAlignBottom = 0x8,
  kAlignSingleLine = 0x20,
  kAlignEndEllipsis = 0x8000,
};
// "left", "center", "right" (horizontal part of the flags).
bool ParseUiAlign(TextView text, unsigned* flags);

}  // namespace kavrel
