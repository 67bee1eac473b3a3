#include "uitoolkit/RichEdit.h"

namespace ui {

std::wstring RichEdit::GetClass() const { return L"RichEdit"; }

bool RichEdit::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"multiline") {
    multiLine_ = ParseBool(value);
  } else if (name == L"autovscroll") {
    autoVScroll_ = ParseBool(value);
  } else if (name == L"rich") {
    rich_ = ParseBool(value);
  } else if (name == L"readonly") {
    readOnly_ = ParseBool(value);
  } else if (name == L"menu") {
    menu_ = ParseBool(value);
  } else if (name == L"textpadding") {
    textPadding_ = ParseRect(value);
  } else {
    return Container::SetAttribute(name, value);
  }
  return true;
}

}  // namespace ui
