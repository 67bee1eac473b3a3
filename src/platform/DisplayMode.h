// The display mode of the default display, the stand-in for the current
// display settings of the monitor that holds the desktop. Any thread; each
// call opens and closes its own short connection to the X server.
//
// The scale is the pixel width divided by the logical width that windows
// are laid out in: GDK_SCALE when it holds a whole number from 1 up, else
// 1.0 (X11 has no scaling of its own).
//
// VORNIK_DISPLAY_SIZE forces the answer: "1920x1080" is such a display,
// "none" (or any other text) is no display.
#pragma once
#include <cstdint>

namespace platform {

struct DisplayMode {
  int32_t width = 0;   // pixels
  int32_t height = 0;  // pixels
  double scale = 0.0;
};

// False, with *mode untouched, when there is no display.
bool GetDisplayMode(DisplayMode* mode);

}  // namespace platform
