// Maps a markup element name to a new control of that class. Stateless; any thread.
#pragma once
#include <memory>
#include <string>

#include "uitoolkit/Control.h"

namespace ui {

// A new, unconfigured control for element names such as "Button" or
// "VerticalLayout" (exact letter case); null for a name that is no control.
std::unique_ptr<Control> CreateControl(const std::wstring& elementName);

}  // namespace ui
