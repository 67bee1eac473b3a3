// A plain system message box with an OK button, for the rare moment before
// the program's own dialogs can be shown. Blocks the UI thread until closed;
// returns at once when there is no display.
#pragma once
#include <string>

namespace ui {

void ShowSystemMessageBox(const std::wstring& caption, const std::wstring& text);

}  // namespace ui
