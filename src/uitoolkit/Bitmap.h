// A picture in memory: premultiplied 32-bit ARGB pixels, row after row
// without gaps (the layout cairo's ARGB32 image surfaces use on a
// little-endian machine). Plain value type; any thread.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace ui {

struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width * height entries

  Bitmap() = default;
  Bitmap(int w, int h, uint32_t fill = 0)
      : width(w > 0 ? w : 0),
        height(h > 0 ? h : 0),
        pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

  bool IsEmpty() const { return width <= 0 || height <= 0; }
  uint32_t At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
  uint32_t& At(int x, int y) {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

using BitmapPtr = std::shared_ptr<const Bitmap>;

// Makes every pixel whose colour (alpha aside) is the mask's fully transparent.
void ApplyMask(Bitmap* bitmap, uint32_t maskArgb);

}  // namespace ui
