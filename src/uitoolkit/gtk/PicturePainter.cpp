#include "uitoolkit/gtk/PicturePainter.h"

#include "uitoolkit/Geometry.h"
#include "uitoolkit/PicturePlan.h"

namespace ui {
namespace {

cairo_user_data_key_t g_bitmapKey;

void ReleaseBitmap(void* data) { delete static_cast<BitmapPtr*>(data); }

void DrawPiece(cairo_t* cr, cairo_surface_t* surface, const PicturePiece& piece) {
  const Rect& s = piece.source;
  const Rect& d = piece.dest;
  cairo_save(cr);
  cairo_rectangle(cr, d.left, d.top, Width(d), Height(d));
  cairo_clip(cr);
  if (Width(s) == Width(d) && Height(s) == Height(d)) {
    cairo_set_source_surface(cr, surface, d.left - s.left, d.top - s.top);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
  } else {
    // The part alone, padded at its edges, so smoothing never reaches past it.
    cairo_surface_t* part =
        cairo_surface_create_for_rectangle(surface, s.left, s.top, Width(s), Height(s));
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(part);
    cairo_matrix_t matrix;
    cairo_matrix_init_scale(&matrix, static_cast<double>(Width(s)) / Width(d),
                            static_cast<double>(Height(s)) / Height(d));
    cairo_matrix_translate(&matrix, -d.left, -d.top);
    cairo_pattern_set_matrix(pattern, &matrix);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
    cairo_set_source(cr, pattern);
    cairo_paint(cr);
    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(part);
  }
  cairo_restore(cr);
}

}  // namespace

cairo_surface_t* SurfaceForBitmap(const BitmapPtr& bitmap) {
  // Cairo only reads a source surface; the pixels are never written through it.
  auto* data = reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(bitmap->pixels.data()));
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      data, CAIRO_FORMAT_ARGB32, bitmap->width, bitmap->height, bitmap->width * 4);
  cairo_surface_set_user_data(surface, &g_bitmapKey, new BitmapPtr(bitmap), ReleaseBitmap);
  return surface;
}

bool DrawPicture(cairo_t* cr, ImageStore& images, const PictureDescriptor& picture,
                 const Rect& bounds) {
  if (picture.IsEmpty() || IsEmptyRect(bounds)) return false;
  const BitmapPtr bitmap = images.Get(picture.file, picture.mask, picture.hasMask);
  if (!bitmap || bitmap->IsEmpty()) return false;
  const auto pieces = PlanPicture(picture, bitmap->width, bitmap->height, bounds);
  if (pieces.empty()) return false;
  cairo_surface_t* surface = SurfaceForBitmap(bitmap);
  for (const PicturePiece& piece : pieces) DrawPiece(cr, surface, piece);
  cairo_surface_destroy(surface);
  return true;
}

}  // namespace ui
