// Drawing pictures at run time, for pictures the program makes itself (the
// carousel's frames with their captions, merged side by side) and then
// registers in a window's ImageStore. The drawing is done by the display
// backend's 2-D library (cairo and pango in the GTK backend) on memory only:
// no display is needed. Fonts are named as in the skin (mapped like the
// skin's fonts) with a pixel size.
// One thread at a time; a canvas is not shared.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "uitoolkit/Bitmap.h"
#include "uitoolkit/Control.h"
#include "uitoolkit/WindowMarkup.h"

namespace ui {

class Canvas {
 public:
  // A transparent picture (or filled with fill) of width x height.
  Canvas(int width, int height, uint32_t fill = 0);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  int Width() const;
  int Height() const;
  void Fill(uint32_t argb);
  // A picture at its own size with its top-left corner at x, y.
  void DrawBitmap(const Bitmap& bitmap, int x, int y);
  // The part source of a picture, at its own size, at x, y.
  void DrawBitmapPart(const Bitmap& bitmap, const Rect& source, int x, int y);
  // Text wrapped at the rectangle's width, aligned as asked, centred
  // vertically when vcenter (else from the top); "\n" breaks a line.
  void DrawText(const std::wstring& text, const Rect& rect, const FontSpec& font, uint32_t argb,
                TextAlign align, bool vcenter);
  // The picture drawn so far (the canvas is empty afterwards).
  Bitmap TakeBitmap();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ui
