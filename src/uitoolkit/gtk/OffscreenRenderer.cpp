#include "uitoolkit/gtk/OffscreenRenderer.h"

#include <cairo.h>

#include <cstdio>

#include "uitoolkit/Control.h"
#include "uitoolkit/gtk/Painter.h"
#include "uitoolkit/gtk/PixbufDecoder.h"

namespace ui {

Bitmap RenderWindow(Control* root, const WindowMarkup& markup, ImageStore& images, int width,
                    int height) {
  if (width <= 0 || height <= 0) return Bitmap();
  InstallPixbufDecoder();
  Bitmap bitmap(width, height);
  cairo_surface_t* surface =
      cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(bitmap.pixels.data()),
                                          CAIRO_FORMAT_ARGB32, width, height, width * 4);
  cairo_t* cr = cairo_create(surface);
  // Painting measures texts that the layout then uses (scroll ranges, rich
  // edits): the second pass draws with those measures, as a window's next frame would.
  for (int pass = 0; pass < 2; ++pass) {
    if (root != nullptr) root->SetPos(Rect{0, 0, width, height});
    Painter(cr, markup, images).PaintWindow(root, width, height);
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
  return bitmap;
}

bool WritePng(const Bitmap& bitmap, const std::string& path) {
  if (bitmap.IsEmpty()) return false;
  auto* data = reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(bitmap.pixels.data()));
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      data, CAIRO_FORMAT_ARGB32, bitmap.width, bitmap.height, bitmap.width * 4);
  const std::string temporary = path + ".part";
  const bool written =
      cairo_surface_write_to_png(surface, temporary.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!written) {
    std::remove(temporary.c_str());
    return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace ui
