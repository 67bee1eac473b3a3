#include "uitoolkit/StackLayout.h"

#include <algorithm>

#include "uitoolkit/Container.h"
#include "uitoolkit/Geometry.h"

namespace ui {
namespace {

// The size along one axis: fixed, or the share handed out.
struct Axis {
  int (*fixed)(const Control&);
  int (*before)(const Rect&);
  int (*after)(const Rect&);
};

int FixedHeight(const Control& c) { return c.GetFixedHeight(); }
int FixedWidth(const Control& c) { return c.GetFixedWidth(); }
int PadTop(const Rect& r) { return r.top; }
int PadBottom(const Rect& r) { return r.bottom; }
int PadLeft(const Rect& r) { return r.left; }
int PadRight(const Rect& r) { return r.right; }

const Axis kVertical{FixedHeight, PadTop, PadBottom};
const Axis kHorizontal{FixedWidth, PadLeft, PadRight};

// The child's rectangle inside a cell of the overlay or across a stack:
// padding taken off, then a fixed size anchored at the top-left corner.
Rect FitCross(const Control& child, const Rect& cell, bool vertical) {
  const Rect& pad = child.GetPadding();
  Rect r = cell;
  if (vertical) {
    r.left = cell.left + pad.left;
    r.right = child.GetFixedWidth() > 0 ? r.left + child.GetFixedWidth() : cell.right - pad.right;
  } else {
    r.top = cell.top + pad.top;
    r.bottom =
        child.GetFixedHeight() > 0 ? r.top + child.GetFixedHeight() : cell.bottom - pad.bottom;
  }
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

}  // namespace

bool IsArranged(const Control& child) { return child.IsVisible() && !child.IsFloat(); }

int StackedExtent(const Container& container, bool vertical) {
  const Axis& axis = vertical ? kVertical : kHorizontal;
  int total = 0;
  int shown = 0;
  for (std::size_t i = 0; i < container.GetCount(); ++i) {
    const Control& child = *container.GetItemAt(i);
    if (!IsArranged(child)) continue;
    total += std::max(0, axis.fixed(child)) + axis.before(child.GetPadding()) +
             axis.after(child.GetPadding());
    ++shown;
  }
  if (shown > 1) total += (shown - 1) * container.GetChildPadding();
  return total;
}

void ArrangeStack(Container& container, const Rect& area, bool vertical) {
  const Axis& axis = vertical ? kVertical : kHorizontal;
  int sharing = 0;
  for (std::size_t i = 0; i < container.GetCount(); ++i) {
    const Control& child = *container.GetItemAt(i);
    if (IsArranged(child) && axis.fixed(child) <= 0) ++sharing;
  }
  const int length = vertical ? Height(area) : Width(area);
  const int free = std::max(0, length - StackedExtent(container, vertical));
  const int share = sharing > 0 ? free / sharing : 0;
  int oddPixels = sharing > 0 ? free % sharing : 0;

  int cursor = vertical ? area.top : area.left;
  for (std::size_t i = 0; i < container.GetCount(); ++i) {
    Control& child = *container.GetItemAt(i);
    if (!IsArranged(child)) continue;
    int size = axis.fixed(child);
    if (size <= 0) {
      size = share + (oddPixels > 0 ? 1 : 0);
      if (oddPixels > 0) --oddPixels;
    }
    cursor += axis.before(child.GetPadding());
    Rect cell = area;
    if (vertical) {
      cell.top = cursor;
      cell.bottom = cursor + size;
    } else {
      cell.left = cursor;
      cell.right = cursor + size;
    }
    child.SetPos(FitCross(child, cell, vertical));
    cursor += size + axis.after(child.GetPadding()) + container.GetChildPadding();
  }
}

void ArrangeOverlay(Container& container, const Rect& area) {
  for (std::size_t i = 0; i < container.GetCount(); ++i) {
    Control& child = *container.GetItemAt(i);
    if (!IsArranged(child)) continue;
    // Fixed sizes in both directions: one pass per axis.
    Rect r = FitCross(child, area, true);
    const Rect across = FitCross(child, area, false);
    r.top = across.top;
    r.bottom = across.bottom;
    child.SetPos(r);
  }
}

int OverlayExtent(const Container& container) {
  int extent = 0;
  for (std::size_t i = 0; i < container.GetCount(); ++i) {
    const Control& child = *container.GetItemAt(i);
    if (!IsArranged(child)) continue;
    const Rect& pad = child.GetPadding();
    extent = std::max(extent, std::max(0, child.GetFixedHeight()) + pad.top + pad.bottom);
  }
  return extent;
}

void PlaceFloats(Container& container) {
  const Rect& origin = container.GetPos();
  for (std::size_t i = 0; i < container.GetCount(); ++i) {
    Control& child = *container.GetItemAt(i);
    if (!child.IsFloat()) continue;
    Rect r = Offset(child.GetFloatPos(), origin.left, origin.top);
    // A float given only its corner takes its fixed size.
    if (child.GetFixedWidth() > 0 && r.right <= r.left) r.right = r.left + child.GetFixedWidth();
    if (child.GetFixedHeight() > 0 && r.bottom <= r.top) r.bottom = r.top + child.GetFixedHeight();
    child.SetPos(r);
  }
}

}  // namespace ui
