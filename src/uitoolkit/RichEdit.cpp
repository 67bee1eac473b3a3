#include "uitoolkit/RichEdit.h"

#include "uitoolkit/ScrollBar.h"

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

bool RichEdit::SetContentHeight(int height) {
  if (height == contentHeight_) return false;
  contentHeight_ = height;
  SetPos(GetPos());
  return true;
}

int RichEdit::GetScrollY() const {
  return GetVerticalScrollBar() != nullptr ? GetVerticalScrollBar()->GetScrollPos() : 0;
}

int RichEdit::NeededHeight() const {
  return contentHeight_ + textPadding_.top + textPadding_.bottom;
}

}  // namespace ui
