// The Canvas of the GTK backend: a cairo image surface over the bitmap's own
// pixels, text through the TextPainter.
#include <cairo.h>

#include <algorithm>

#include "uitoolkit/Canvas.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/gtk/PicturePainter.h"
#include "uitoolkit/gtk/TextPainter.h"

namespace ui {

struct Canvas::Impl {
  Bitmap bitmap;
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;

  void Open() {
    surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(bitmap.pixels.data()), CAIRO_FORMAT_ARGB32, bitmap.width,
        bitmap.height, bitmap.width * 4);
    cr = cairo_create(surface);
  }
  void Close() {
    if (cr != nullptr) cairo_destroy(cr);
    if (surface != nullptr) {
      cairo_surface_flush(surface);
      cairo_surface_destroy(surface);
    }
    cr = nullptr;
    surface = nullptr;
  }
};

Canvas::Canvas(int width, int height, uint32_t fill) : impl_(std::make_unique<Impl>()) {
  impl_->bitmap = Bitmap(width, height, 0);
  impl_->Open();
  if (fill != 0) Fill(fill);
}

Canvas::~Canvas() { impl_->Close(); }

int Canvas::Width() const { return impl_->bitmap.width; }
int Canvas::Height() const { return impl_->bitmap.height; }

void Canvas::Fill(uint32_t argb) {
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                        (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0);
  cairo_paint(cr);
  cairo_restore(cr);
}

void Canvas::DrawBitmap(const Bitmap& bitmap, int x, int y) {
  DrawBitmapPart(bitmap, Rect{0, 0, bitmap.width, bitmap.height}, x, y);
}

void Canvas::DrawBitmapPart(const Bitmap& bitmap, const Rect& source, int x, int y) {
  const Rect part = Intersect(source, Rect{0, 0, bitmap.width, bitmap.height});
  if (bitmap.IsEmpty() || IsEmptyRect(part)) return;
  // The caller's bitmap stays the caller's: the surface gets a copy to keep.
  cairo_surface_t* surface = SurfaceForBitmap(std::make_shared<const Bitmap>(bitmap));
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_rectangle(cr, x, y, ui::Width(part), ui::Height(part));
  cairo_clip(cr);
  cairo_set_source_surface(cr, surface, x - part.left, y - part.top);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(surface);
}

void Canvas::DrawText(const std::wstring& text, const Rect& rect, const FontSpec& font,
                      uint32_t argb, TextAlign align, bool vcenter) {
  const std::vector<FontSpec> fonts{font};
  const WindowAttributes window;
  TextPainter painter(impl_->cr, fonts, window);
  TextRequest request;
  request.text = text;
  request.multiLine = true;
  request.font = 0;
  request.colour = argb;
  request.align = align;
  Rect place = rect;
  if (vcenter) {
    const int height = painter.MeasureHeight(request, ui::Width(rect));
    place.top = rect.top + (ui::Height(rect) - height) / 2;
    place.bottom = place.top + std::max(height, 1);
  }
  painter.Draw(request, place);
}

Bitmap Canvas::TakeBitmap() {
  impl_->Close();
  Bitmap taken = std::move(impl_->bitmap);
  impl_->bitmap = Bitmap(taken.width, taken.height, 0);
  impl_->Open();
  return taken;
}

}  // namespace ui
