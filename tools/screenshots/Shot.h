// One rendered picture of the screenshot tool, named by window and state.
#pragma once
#include <string>

#include "uitoolkit/Bitmap.h"

namespace screenshots {

struct Shot {
  std::string name;  // "main_settings_closed", "dialog_07", ...
  ui::Bitmap bitmap;
};

}  // namespace screenshots
