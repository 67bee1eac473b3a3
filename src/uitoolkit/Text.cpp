#include "uitoolkit/Text.h"

namespace ui {

std::wstring Text::GetClass() const { return L"Text"; }

bool Text::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name != L"menu") return Label::SetAttribute(name, value);
  menu_ = ParseBool(value);
  return true;
}

}  // namespace ui
