#include "uitoolkit/Label.h"

namespace ui {

std::wstring Label::GetClass() const { return L"Label"; }

bool Label::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"showhtml") {
    showHtml_ = ParseBool(value);
  } else if (name == L"multiline") {
    multiLine_ = ParseBool(value);
  } else if (name == L"endellipsis") {
    endEllipsis_ = ParseBool(value);
  } else if (name == L"textpadding") {
    textPadding_ = ParseRect(value);
  } else {
    return Control::SetAttribute(name, value);
  }
  return true;
}

}  // namespace ui
