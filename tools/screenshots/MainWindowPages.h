// The main window in each of its states, filled with one language as the
// window does (language texts, licence, formats), rendered offscreen.
#pragma once
#include <vector>

#include "LanguageTexts.h"
#include "Languages.h"
#include "Shot.h"

namespace screenshots {

std::vector<Shot> RenderMainWindowPages(const Language& language, const LanguageTexts& texts);

}  // namespace screenshots
