// Plain geometry and colour values of the toolkit, free of any window system
// so that the control tree and its layout build and test everywhere.
#pragma once

#include <cstdint>

namespace kavrel {

struct UiPoint {
  int x = 0;
  int y = 0;
};

struct UiSize {
  int cx = 0;
  int cy = 0;
  bool operator==(const UiSize& o) const { return cx == o.cx && cy == o.cy; }
};

// Edges in pixels; right and bottom are exclusive, as in Win32 rectangles.
struct UiRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(UiPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  UiRect Intersect(const UiRect& o) const {
    UiRect r{left > o.left ? left : o.left, top > o.top ? top : o.top,
             right < o.right ? right : o.right, bottom < o.bottom ? bottom : o.bottom};
    if (r.IsEmpty()) return UiRect{};
    return r;
  }
  UiRect Deflate(const UiRect& inset) const {
    UiRect r{left + inset.left, top + inset.top, right - inset.right, bottom - inset.bottom};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
  }
  bool operator==(const UiRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const UiRect& o) const { return !(*this == o); }
};

// 0xAARRGGBB; alpha 0 means "no colour" (nothing is drawn).
using UiColor = std::uint32_t;

}  // namespace kavrel
