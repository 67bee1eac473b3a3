#include "uitoolkit/Button.h"

namespace ui {

Button::Button() { SetAlign(TextAlign::Center); }

std::wstring Button::GetClass() const { return L"Button"; }

bool Button::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (images_.SetAttribute(L"", name, value)) return true;
  if (name == L"hottextcolor") {
    ReadColour(value, &hotTextColor_);
  } else if (name == L"pushedtextcolor") {
    ReadColour(value, &pushedTextColor_);
  } else {
    return Label::SetAttribute(name, value);
  }
  return true;
}

void Button::Activate(int, int) { RaiseNotification(L"click"); }

ControlState Button::GetState() const {
  if (!IsEnabled()) return ControlState::Disabled;
  if (IsPushed()) return ControlState::Pushed;
  if (IsHot()) return ControlState::Hot;
  return ControlState::Normal;
}

}  // namespace ui
