#include "uitoolkit/Bitmap.h"

namespace ui {

void ApplyMask(Bitmap* bitmap, uint32_t maskArgb) {
  const uint32_t colour = maskArgb & 0x00FFFFFFu;
  for (uint32_t& pixel : bitmap->pixels) {
    // Only an opaque pixel keeps its colour unchanged by premultiplication.
    if ((pixel >> 24) == 0xFFu && (pixel & 0x00FFFFFFu) == colour) pixel = 0;
  }
}

}  // namespace ui
