#include "uitoolkit/PicturePlan.h"

#include <algorithm>

#include "uitoolkit/Geometry.h"

namespace ui {
namespace {

// Shrinks two margins that together exceed length, keeping their proportion.
void FitMargins(int length, int* a, int* b) {
  *a = std::max(0, *a);
  *b = std::max(0, *b);
  if (*a + *b <= length) return;
  if (*a + *b == 0) return;
  const int total = *a + *b;
  *a = static_cast<int>(static_cast<long long>(*a) * length / total);
  *b = length - *a;
}

// The three bands of one axis: [start, start+a), [start+a, end-b), [end-b, end).
void Bands(int start, int end, int a, int b, int out[4]) {
  out[0] = start;
  out[1] = start + a;
  out[2] = end - b;
  out[3] = end;
}

}  // namespace

std::vector<PicturePiece> PlanPicture(const PictureDescriptor& picture, int imageWidth,
                                      int imageHeight, const Rect& bounds) {
  const Rect whole{0, 0, imageWidth, imageHeight};
  const Rect source = picture.hasSource ? Intersect(picture.source, whole) : whole;
  Rect dest = bounds;
  if (picture.hasDest) dest = Intersect(Offset(picture.dest, bounds.left, bounds.top), bounds);
  if (IsEmptyRect(source) || IsEmptyRect(dest)) return {};
  if (!picture.hasCorner) return {PicturePiece{source, dest}};

  Rect corner = picture.corner;
  // A corner must fit both the part of the picture and the place it goes to.
  FitMargins(std::min(Width(source), Width(dest)), &corner.left, &corner.right);
  FitMargins(std::min(Height(source), Height(dest)), &corner.top, &corner.bottom);
  int sx[4], sy[4], dx[4], dy[4];
  Bands(source.left, source.right, corner.left, corner.right, sx);
  Bands(source.top, source.bottom, corner.top, corner.bottom, sy);
  Bands(dest.left, dest.right, corner.left, corner.right, dx);
  Bands(dest.top, dest.bottom, corner.top, corner.bottom, dy);
  std::vector<PicturePiece> pieces;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      const PicturePiece piece{Rect{sx[col], sy[row], sx[col + 1], sy[row + 1]},
                               Rect{dx[col], dy[row], dx[col + 1], dy[row + 1]}};
      if (!IsEmptyRect(piece.source) && !IsEmptyRect(piece.dest)) pieces.push_back(piece);
    }
  }
  return pieces;
}

}  // namespace ui
