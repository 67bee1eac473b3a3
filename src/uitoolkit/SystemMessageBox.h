// A plain system message box with an OK button, for the rare moment before
// the program's own dialogs can be shown, or a hint without a dialog of the
// skin. Blocks the UI thread until closed (other windows' timers and posted
// messages go on meanwhile); returns at once when there is no display.
// owner, when given, is the window the box stays above.
#pragma once
#include <string>

namespace ui {

class WindowBase;

void ShowSystemMessageBox(const std::wstring& caption, const std::wstring& text,
                          WindowBase* owner = nullptr);

}  // namespace ui
