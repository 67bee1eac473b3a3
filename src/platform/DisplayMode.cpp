#include "platform/DisplayMode.h"

#include <cstdlib>
#include <memory>
#include <string>

// Xlib comes last: it defines macros (None, Status, Bool) other headers use as names.
#include <X11/Xlib.h>

namespace platform {
namespace {

struct DisplayCloser {
  void operator()(::Display* display) const { XCloseDisplay(display); }
};

bool ParseDimension(const std::string& text, int32_t* value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *value = static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
  return *value > 0;
}

bool ParseForcedSize(const std::string& text, DisplayMode* mode) {
  const std::size_t x = text.find('x');
  return x != std::string::npos && ParseDimension(text.substr(0, x), &mode->width) &&
         ParseDimension(text.substr(x + 1), &mode->height);
}

double LogicalScale() {
  const char* text = std::getenv("GDK_SCALE");
  int32_t scale = 0;
  return text != nullptr && ParseDimension(text, &scale) ? static_cast<double>(scale) : 1.0;
}

bool QueryX11(DisplayMode* mode) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  std::unique_ptr<::Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) return false;
  const int screen = DefaultScreen(display.get());
  mode->width = DisplayWidth(display.get(), screen);
  mode->height = DisplayHeight(display.get(), screen);
  return mode->width > 0 && mode->height > 0;
}

}  // namespace

bool GetDisplayMode(DisplayMode* mode) {
  if (mode == nullptr) return false;
  DisplayMode found;
  const char* forced = std::getenv("VORNIK_DISPLAY_SIZE");
  const bool present = forced != nullptr ? ParseForcedSize(forced, &found) : QueryX11(&found);
  if (!present) return false;
  found.scale = LogicalScale();
  *mode = found;
  return true;
}

}  // namespace platform
