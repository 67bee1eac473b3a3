#include "uitoolkit/Progress.h"

namespace ui {

std::wstring Progress::GetClass() const { return L"Progress"; }

bool Progress::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"min") {
    min_ = ParseInt(value);
  } else if (name == L"max") {
    max_ = ParseInt(value);
  } else if (name == L"value") {
    value_ = ParseInt(value);
  } else if (name == L"hor") {
    horizontal_ = ParseBool(value);
  } else if (name == L"foreimage") {
    foreImage_ = ParsePicture(value);
  } else {
    return Label::SetAttribute(name, value);
  }
  return true;
}

}  // namespace ui
