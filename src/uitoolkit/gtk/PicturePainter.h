// Draws skin pictures (PictureDescriptor) from a window's ImageStore onto a
// cairo context, following PicturePlan: parts drawn at their own size are
// copied pixel for pixel (no resampling, so nothing blurs); stretched parts
// are filtered smoothly and never bleed across the cut lines of a nine-part
// picture. A picture that is missing draws nothing (the store logs it once).
// Same threads as the cairo context.
#pragma once
#include <cairo.h>

#include "uitoolkit/Bitmap.h"
#include "uitoolkit/ImageStore.h"
#include "uitoolkit/Values.h"

namespace ui {

// False when nothing was drawn (no picture, missing file, empty place).
bool DrawPicture(cairo_t* cr, ImageStore& images, const PictureDescriptor& picture,
                 const Rect& bounds);
// A cairo surface over a bitmap's pixels; the surface keeps the bitmap alive.
cairo_surface_t* SurfaceForBitmap(const BitmapPtr& bitmap);

}  // namespace ui
