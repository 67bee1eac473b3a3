#include "uitoolkit/ScrollBar.h"

namespace ui {

ScrollBar::ScrollBar(bool horizontal) : horizontal_(horizontal) {}

std::wstring ScrollBar::GetClass() const { return horizontal_ ? L"HScrollBar" : L"VScrollBar"; }

bool ScrollBar::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"showbutton1") {
    showButton1_ = ParseBool(value);
  } else if (name == L"showbutton2") {
    showButton2_ = ParseBool(value);
  } else if (name == L"linesize") {
    lineSize_ = ParseInt(value);
  } else if (!SetImageAttribute(name, value)) {
    return Control::SetAttribute(name, value);
  }
  return true;
}

bool ScrollBar::SetImageAttribute(const std::wstring& name, const std::wstring& value) {
  // The background uses the "bk" prefix; a plain "bkimage" stays the common attribute.
  return button1_.SetAttribute(L"button1", name, value) ||
         button2_.SetAttribute(L"button2", name, value) ||
         thumb_.SetAttribute(L"thumb", name, value) || rail_.SetAttribute(L"rail", name, value) ||
         back_.SetAttribute(L"bk", name, value);
}

}  // namespace ui
