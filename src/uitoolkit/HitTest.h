// Finding the control under a point of a laid-out tree, and whether a
// control shows. Read-only walks on the UI thread; positions are those of
// the last layout.
//
// A control is hit when it shows and the point is inside its position; the
// children of a container are hit only inside its client rectangle (float
// children: inside the container's position), later children before earlier
// ones (they are drawn on top), a shown vertical scroll bar before all.
#pragma once

namespace ui {

class Control;

// The deepest control at x, y, or null (also for a null root).
Control* FindControlAt(Control* root, int x, int y);
// From that control up, the first that wants the mouse at x, y; null when
// none does (the point then belongs to the window: caption, resize border).
Control* FindInteractiveAt(Control* root, int x, int y);

// Visible itself and every ancestor visible and showing it (tab selection).
bool IsShown(const Control* control);
// Enabled itself and every ancestor enabled.
bool IsEffectivelyEnabled(const Control* control);
// Whether control is root or one of its descendants.
bool IsWithin(const Control* control, const Control* root);

}  // namespace ui
