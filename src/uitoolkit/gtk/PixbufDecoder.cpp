#include "uitoolkit/gtk/PixbufDecoder.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <mutex>

#include "uitoolkit/ImageStore.h"

namespace ui {
namespace {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};

uint32_t Premultiplied(const guchar* p, bool hasAlpha) {
  const uint32_t a = hasAlpha ? p[3] : 255u;
  const auto scale = [a](uint32_t c) { return (c * a + 127u) / 255u; };
  return (a << 24) | (scale(p[0]) << 16) | (scale(p[1]) << 8) | scale(p[2]);
}

bool Decode(const std::vector<unsigned char>& bytes, Bitmap* out) {
  std::unique_ptr<GdkPixbufLoader, ObjectUnref> loader(gdk_pixbuf_loader_new());
  GError* error = nullptr;
  const bool written = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), &error);
  if (error != nullptr) g_clear_error(&error);
  const bool closed = gdk_pixbuf_loader_close(loader.get(), &error);
  if (error != nullptr) g_clear_error(&error);
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());  // owned by the loader
  if (!written || !closed || pixbuf == nullptr) return false;
  if (gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB ||
      gdk_pixbuf_get_bits_per_sample(pixbuf) != 8) {
    return false;
  }
  const int width = gdk_pixbuf_get_width(pixbuf);
  const int height = gdk_pixbuf_get_height(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const bool hasAlpha = gdk_pixbuf_get_has_alpha(pixbuf);
  const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
  *out = Bitmap(width, height);
  for (int y = 0; y < height; ++y) {
    const guchar* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width; ++x) out->At(x, y) = Premultiplied(row + x * channels, hasAlpha);
  }
  return true;
}

}  // namespace

void InstallPixbufDecoder() {
  static std::once_flag once;
  std::call_once(once, [] { SetImageDecoder(Decode); });
}

}  // namespace ui
