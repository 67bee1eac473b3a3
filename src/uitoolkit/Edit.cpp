#include "uitoolkit/Edit.h"

namespace ui {

std::wstring Edit::GetClass() const { return L"Edit"; }

bool Edit::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name != L"readonly") return Label::SetAttribute(name, value);
  readOnly_ = ParseBool(value);
  return true;
}

}  // namespace ui
