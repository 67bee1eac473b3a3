#include "uitoolkit/Label.h"

#include "uitoolkit/Geometry.h"

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

void Label::SetText(const std::wstring& text) {
  // The old links' places no longer mean anything; painting measures anew.
  if (text != GetText()) {
    linkAreas_.clear();
    hotLink_ = -1;
  }
  Control::SetText(text);
}

int Label::LinkAt(int x, int y) const {
  for (const LinkArea& area : linkAreas_) {
    if (Contains(area.rect, x, y)) return area.link;
  }
  return -1;
}

void Label::SetTextHeight(int height) {
  if (textHeight_ == height) return;
  textHeight_ = height;
  Invalidate();
}

void Label::SetHotLink(int link) {
  if (hotLink_ == link) return;
  hotLink_ = link;
  Invalidate();
}

}  // namespace ui
