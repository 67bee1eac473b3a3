#include "uitoolkit/Geometry.h"

#include <algorithm>

namespace ui {

Rect Deflate(const Rect& r, const Rect& by) {
  Rect out{r.left + by.left, r.top + by.top, r.right - by.right, r.bottom - by.bottom};
  if (out.right < out.left) out.right = out.left;
  if (out.bottom < out.top) out.bottom = out.top;
  return out;
}

Rect Intersect(const Rect& a, const Rect& b) {
  Rect out{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
  if (out.right <= out.left || out.bottom <= out.top) return Rect{a.left, a.top, a.left, a.top};
  return out;
}

Rect Offset(const Rect& r, int dx, int dy) {
  return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace ui
