// Rectangle arithmetic shared by layout, hit testing and painting.
// Rectangles are half-open: left and top inside, right and bottom outside.
// Pure functions; any thread.
#pragma once
#include "uitoolkit/Values.h"

namespace ui {

inline int Width(const Rect& r) { return r.right - r.left; }
inline int Height(const Rect& r) { return r.bottom - r.top; }
inline bool IsEmptyRect(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }
inline bool Contains(const Rect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// r with its four sides moved inwards by the four numbers of by (an inset or
// a padding); never turns inside out: a side that would cross stops at the other.
Rect Deflate(const Rect& r, const Rect& by);
// The common part of a and b; an empty rectangle at a's corner when none.
Rect Intersect(const Rect& a, const Rect& b);
Rect Offset(const Rect& r, int dx, int dy);

}  // namespace ui
