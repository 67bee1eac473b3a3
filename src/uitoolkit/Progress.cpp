#include "uitoolkit/Progress.h"

#include <algorithm>

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

void Progress::SetValue(int value) {
  if (value_ == value) return;
  value_ = value;
  Invalidate();
}

int Progress::FilledLength(int length) const {
  if (max_ <= min_ || length <= 0) return 0;
  const long long clamped = std::max(min_, std::min(value_, max_)) - static_cast<long long>(min_);
  return static_cast<int>(clamped * length / (static_cast<long long>(max_) - min_));
}

}  // namespace ui
