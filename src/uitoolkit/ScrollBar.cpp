#include "uitoolkit/ScrollBar.h"

#include <algorithm>

#include "uitoolkit/Geometry.h"

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

void ScrollBar::SetScrollRange(int range, int page) {
  range_ = std::max(0, range);
  page_ = std::max(0, page);
  pos_ = std::min(pos_, range_);
  if (range_ == 0) dragging_ = false;
}

void ScrollBar::SetScrollPos(int pos) {
  const int clamped = std::max(0, std::min(pos, range_));
  if (clamped == pos_) return;
  pos_ = clamped;
  // The parent lays its children out again at the next paint.
  if (GetParent() != nullptr) GetParent()->Invalidate();
}

int ScrollBar::RailLength() const { return horizontal_ ? Width(GetPos()) : Height(GetPos()); }

int ScrollBar::ThumbLength() const {
  const int rail = RailLength();
  if (range_ <= 0 || rail <= 0) return rail;
  const long long content = static_cast<long long>(range_) + page_;
  const int length = static_cast<int>(static_cast<long long>(rail) * page_ / content);
  return std::min(rail, std::max(kMinThumb, length));
}

Rect ScrollBar::GetThumbRect() const {
  const Rect& bar = GetPos();
  const int travel = RailLength() - ThumbLength();
  const int offset =
      range_ > 0 ? static_cast<int>(static_cast<long long>(travel) * pos_ / range_) : 0;
  if (horizontal_)
    return Rect{bar.left + offset, bar.top, bar.left + offset + ThumbLength(), bar.bottom};
  return Rect{bar.left, bar.top + offset, bar.right, bar.top + offset + ThumbLength()};
}

ScrollBar::Part ScrollBar::HitPart(int x, int y) const {
  if (!IsActive() || !Contains(GetPos(), x, y)) return Part::None;
  const Rect thumb = GetThumbRect();
  if (Contains(thumb, x, y)) return Part::Thumb;
  const bool before = horizontal_ ? x < thumb.left : y < thumb.top;
  return before ? Part::PageUp : Part::PageDown;
}

void ScrollBar::Press(int x, int y) {
  switch (HitPart(x, y)) {
    case Part::Thumb: {
      const Rect thumb = GetThumbRect();
      dragging_ = true;
      dragOffset_ = horizontal_ ? x - thumb.left : y - thumb.top;
      Invalidate();
      break;
    }
    case Part::PageUp:
      SetScrollPos(pos_ - std::max(1, page_));
      break;
    case Part::PageDown:
      SetScrollPos(pos_ + std::max(1, page_));
      break;
    case Part::None:
      break;
  }
}

void ScrollBar::DragTo(int x, int y) {
  if (!dragging_) return;
  const Rect& bar = GetPos();
  const int travel = RailLength() - ThumbLength();
  if (travel <= 0) return;
  const int start = (horizontal_ ? x - bar.left : y - bar.top) - dragOffset_;
  SetScrollPos(static_cast<int>((static_cast<long long>(start) * range_ + travel / 2) / travel));
}

void ScrollBar::Release() {
  if (!dragging_) return;
  dragging_ = false;
  Invalidate();
}

}  // namespace ui
