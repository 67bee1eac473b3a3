// Where the parts of a picture go when it is drawn for a control: the
// arithmetic of the descriptor keys (see Values.h), apart from any drawing.
//
// The part used is "source" (clamped into the picture), else the whole
// picture. It fills "dest" (relative to the control's corner, clamped into
// the control), else the whole control, stretched as needed. With "corner"
// the part is cut in nine: the corners keep their size, the edges stretch
// along one axis, the middle along both; corners that do not fit the source
// or the destination shrink evenly. Pure functions; any thread.
#pragma once
#include <vector>

#include "uitoolkit/Values.h"

namespace ui {

struct PicturePiece {
  Rect source;  // in picture pixels
  Rect dest;    // in the control's (window) coordinates
};

inline bool operator==(const PicturePiece& a, const PicturePiece& b) {
  return a.source == b.source && a.dest == b.dest;
}

// Empty when nothing is to be drawn (empty source or destination).
std::vector<PicturePiece> PlanPicture(const PictureDescriptor& picture, int imageWidth,
                                      int imageHeight, const Rect& bounds);

}  // namespace ui
