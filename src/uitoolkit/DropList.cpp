#include "uitoolkit/DropList.h"

#include <algorithm>

#include "uitoolkit/Combo.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/ScrollBar.h"

namespace ui {

DropList::DropList(Combo& combo) : combo_(combo) {
  for (std::size_t i = 0; i < combo.GetCount(); ++i) {
    if (!combo.GetItemAt(i)->IsVisible()) continue;
    rows_.push_back(static_cast<int>(i));
    rowTops_.push_back(contentHeight_);
    contentHeight_ += RowHeight(static_cast<int>(i));
  }
  const Size& box = combo.GetDropBoxSize();
  size_.cx = box.cx > 0 ? box.cx : Width(combo.GetPos());
  size_.cy = box.cy > 0 ? std::min(box.cy, contentHeight_) : contentHeight_;
  hot_ = combo.GetCurSel();
  EnsureVisible(hot_);
}

int DropList::RowHeight(int index) const {
  const Control* item = GetItem(index);
  return item != nullptr && item->GetFixedHeight() > 0 ? item->GetFixedHeight()
                                                       : kDefaultItemHeight;
}

int DropList::RowOf(int index) const {
  const auto found = std::find(rows_.begin(), rows_.end(), index);
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

Control* DropList::GetItem(int index) const {
  return index < 0 ? nullptr : combo_.GetItemAt(static_cast<std::size_t>(index));
}

Rect DropList::GetRowRect(std::size_t row) const {
  if (row >= rows_.size()) return Rect();
  const int top = rowTops_[row] - scroll_;
  const int right = size_.cx - (HasScrollBar() ? kScrollBarWidth : 0);
  return Rect{0, top, right, top + RowHeight(rows_[row])};
}

int DropList::ItemAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= size_.cx || y >= size_.cy) return -1;
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    if (Contains(GetRowRect(row), x, y)) return rows_[row];
  }
  return -1;
}

void DropList::ScrollBy(int dy) {
  scroll_ = std::max(0, std::min(scroll_ + dy, contentHeight_ - size_.cy));
}

void DropList::EnsureVisible(int index) {
  const int row = RowOf(index);
  if (row < 0) return;
  const Rect r = GetRowRect(static_cast<std::size_t>(row));
  if (r.top < 0) ScrollBy(r.top);
  if (r.bottom > size_.cy) ScrollBy(r.bottom - size_.cy);
}

Rect DropList::GetThumbRect() const {
  if (!HasScrollBar() || contentHeight_ <= 0) return Rect();
  const int length =
      std::max(ScrollBar::kMinThumb,
               static_cast<int>(static_cast<long long>(size_.cy) * size_.cy / contentHeight_));
  const int travel = size_.cy - length;
  const int range = contentHeight_ - size_.cy;
  const int top =
      range > 0 ? static_cast<int>(static_cast<long long>(travel) * scroll_ / range) : 0;
  return Rect{size_.cx - kScrollBarWidth, top, size_.cx, top + length};
}

bool DropList::IsChoosable(int index) const {
  const Control* item = GetItem(index);
  return item != nullptr && RowOf(index) >= 0 && item->IsEnabled();
}

bool DropList::Choose(int index) { return IsChoosable(index) && combo_.SelectItem(index, true); }

DropList::KeyResult DropList::HandleKey(const KeyEvent& key) {
  if (key.key == Key::Escape) return KeyResult::Close;
  if (key.key == Key::Enter) return KeyResult::Close;
  if (key.key != Key::Up && key.key != Key::Down) return KeyResult::Ignored;
  const int step = key.key == Key::Up ? -1 : 1;
  int row = RowOf(hot_);
  for (int next = row + step; next >= 0 && next < static_cast<int>(rows_.size()); next += step) {
    if (GetItem(rows_[static_cast<std::size_t>(next)])->IsEnabled()) {
      row = next;
      break;
    }
  }
  if (row < 0 && !rows_.empty()) row = 0;
  if (row >= 0) {
    hot_ = rows_[static_cast<std::size_t>(row)];
    EnsureVisible(hot_);
  }
  return KeyResult::Moved;
}

}  // namespace ui
