#include "ToolkitFixture.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include "TestZip.h"
#include "platform/Encoding.h"
#include "uitoolkit/MarkupBuilder.h"

namespace uitest {

void MarkupFixture::SetFiles(const Files& files) {
  TestZip zip;
  for (const auto& [name, content] : files) zip.Add(name, content);
  bytes_ = zip.Build();
  ASSERT_TRUE(package_.Open(bytes_.data(), bytes_.size()));
}

ui::WindowMarkup MarkupFixture::Build(const std::wstring& path) {
  return ui::MarkupBuilder(package_).BuildWindow(path);
}

void RecordingOwner::SendNotify(const ui::Notification& notification) {
  notifications.push_back(notification);
}

std::vector<std::string> RecordingOwner::Names() const {
  std::vector<std::string> names;
  for (const auto& n : notifications) {
    names.push_back(platform::ToUtf8(n.type) + ":" +
                    (n.sender ? platform::ToUtf8(n.sender->GetName()) : std::string()));
  }
  return names;
}

namespace {

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::string MakePng(int width, int height, const std::function<uint32_t(int, int)>& colourAt) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  cairo_surface_flush(surface);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
    for (int x = 0; x < width; ++x) {
      const uint32_t c = colourAt(x, y);
      const uint32_t a = c >> 24;
      const auto pre = [a](uint32_t v) { return (v * a + 127) / 255; };
      row[x] =
          (a << 24) | (pre((c >> 16) & 0xFF) << 16) | (pre((c >> 8) & 0xFF) << 8) | pre(c & 0xFF);
    }
  }
  cairo_surface_mark_dirty(surface);
  std::string png;
  cairo_surface_write_to_png_stream(surface, AppendBytes, &png);
  cairo_surface_destroy(surface);
  return png;
}

std::string MakeStrip(int cellWidth, int height, const std::vector<uint32_t>& colours) {
  return MakePng(cellWidth * static_cast<int>(colours.size()), height,
                 [&](int x, int) { return colours[static_cast<std::size_t>(x / cellWidth)]; });
}

}  // namespace uitest
