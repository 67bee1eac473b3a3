#include "uitoolkit/TabLayout.h"

namespace ui {

std::wstring TabLayout::GetClass() const { return L"TabLayout"; }

bool TabLayout::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name != L"selectedid") return Container::SetAttribute(name, value);
  selected_ = ParseInt(value);
  return true;
}

Control* TabLayout::GetSelectedItem() const {
  return selected_ < 0 ? nullptr : GetItemAt(static_cast<std::size_t>(selected_));
}

bool TabLayout::SelectItem(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= GetCount()) return false;
  selected_ = index;
  return true;
}

}  // namespace ui
