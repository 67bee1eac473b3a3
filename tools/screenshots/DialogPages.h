// The message dialog in each of its sixteen kinds and the launch window,
// filled with one language as those windows do, rendered offscreen.
#pragma once
#include <vector>

#include "LanguageTexts.h"
#include "Languages.h"
#include "Shot.h"

namespace screenshots {

std::vector<Shot> RenderDialogPages(const LanguageTexts& texts);
Shot RenderLaunchWindow();

}  // namespace screenshots
