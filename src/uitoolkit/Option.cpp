#include "uitoolkit/Option.h"

namespace ui {

std::wstring Option::GetClass() const { return L"Option"; }

bool Option::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"group") {
    group_ = value;
  } else if (name == L"selected") {
    selected_ = ParseBool(value);
  } else if (name == L"selectedimage") {
    selectedImage_ = ParsePicture(value);
  } else if (name == L"selectedtextcolor") {
    ReadColour(value, &selectedTextColor_);
  } else {
    return Button::SetAttribute(name, value);
  }
  return true;
}

void Option::Activate(int x, int y) {
  Button::Activate(x, y);
  Select(group_.empty() ? !selected_ : true);
}

void Option::Select(bool selected, bool notify) {
  if (selected && !group_.empty()) {
    Control* root = this;
    while (root->GetParent() != nullptr) root = root->GetParent();
    ClearGroupIn(root);
  }
  if (selected_ == selected) return;
  selected_ = selected;
  Invalidate();
  if (notify) RaiseNotification(L"selectchanged");
}

void Option::ClearGroupIn(Control* control) {
  auto* option = dynamic_cast<Option*>(control);
  if (option != nullptr && option != this && option->group_ == group_ && option->selected_) {
    option->selected_ = false;
    option->Invalidate();
  }
  for (std::size_t i = 0; i < control->GetCount(); ++i) ClearGroupIn(control->GetItemAt(i));
}

}  // namespace ui
