#include "uitoolkit/TabLayout.h"

namespace ui {

std::wstring TabLayout::GetClass() const { return L"TabLayout"; }

bool TabLayout::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name != L"selectedid") return Container::SetAttribute(name, value);
  selected_ = ParseInt(value);
  return true;
}

bool TabLayout::ShowsChild(std::size_t index) const {
  return selected_ >= 0 && index == static_cast<std::size_t>(selected_);
}

Control* TabLayout::GetSelectedItem() const {
  return selected_ < 0 ? nullptr : GetItemAt(static_cast<std::size_t>(selected_));
}

bool TabLayout::SelectItem(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= GetCount()) return false;
  if (selected_ == index) return true;
  // The page that goes away must not keep the mouse's or the keyboard's state.
  if (Control* old = GetSelectedItem()) {
    if (ControlOwner* owner = GetOwner()) owner->OnControlRemoved(old);
  }
  selected_ = index;
  Invalidate();
  return true;
}

}  // namespace ui
