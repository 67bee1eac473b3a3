// The arithmetic that places a container's children. Display-free; called
// from the containers' SetPos on the UI thread.
//
// Stacking (vertical shown here; horizontal swaps the axes): the visible,
// non-float children follow each other from the top, "childpadding" apart.
// A child's own "padding" is margin around it and takes room too. A child
// with a fixed height gets it; the others share what is left equally (the
// first ones get the odd pixels), never less than 0. Across the stacking
// direction a child fills the area less its padding, or takes its fixed
// width from the left edge (+ padding).
// Overlay (Container, TabLayout): every child gets the whole area less its
// padding, fixed sizes from the top-left corner.
// Float children ("float" "true") are left out of both and placed at "pos",
// relative to the parent's top-left corner.
#pragma once
#include "uitoolkit/Values.h"

namespace ui {

class Container;
class Control;

void ArrangeStack(Container& container, const Rect& area, bool vertical);
// Room the stacked children need along the stacking direction when every
// sharing child gets 0: the scroll range of a scrolling layout comes from it.
int StackedExtent(const Container& container, bool vertical);

void ArrangeOverlay(Container& container, const Rect& area);
// Largest fixed height (+ padding) of the children, for an overlay's scroll range.
int OverlayExtent(const Container& container);

void PlaceFloats(Container& container);

// Whether the child takes part in stacking or overlaying.
bool IsArranged(const Control& child);

}  // namespace ui
