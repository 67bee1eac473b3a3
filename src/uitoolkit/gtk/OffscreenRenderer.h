// Renders a window's control tree into memory, without any display: lays
// the tree out at the given size and paints it (Painter::PaintWindow) on a
// cairo image surface. Used by the screenshot tool and by tests. Same thread
// as the tree.
#pragma once
#include <string>

#include "uitoolkit/Bitmap.h"
#include "uitoolkit/ImageStore.h"
#include "uitoolkit/WindowMarkup.h"

namespace ui {

// The picture of the window (premultiplied ARGB); empty for a size <= 0.
Bitmap RenderWindow(Control* root, const WindowMarkup& markup, ImageStore& images, int width,
                    int height);
// Writes a bitmap as PNG (temporary file, then rename). False on failure.
bool WritePng(const Bitmap& bitmap, const std::string& path);

}  // namespace ui
