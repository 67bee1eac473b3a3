// The drop-down list of a combo box, as a model the backend shows in a
// pop-up window of GetSize() and paints item by item. Display-free.
//
// The list shows the combo's visible items, each as high as its "height"
// (kDefaultItemHeight without one). Its width is the combo's "dropboxsize"
// width, or the box's own when that is 0; its height is the items' total, at
// most the "dropboxsize" height when that is set; the rest scrolls (wheel,
// keys, or the thumb at the right). The hot item follows the mouse and the
// arrow keys; choosing an enabled item selects it in the combo with
// "itemselect" (only when the selection changes) and closes the list.
// Coordinates are the pop-up's own (0,0 at its top-left corner).
// The combo must outlive the list. UI thread only.
#pragma once
#include <vector>

#include "uitoolkit/KeyEvent.h"
#include "uitoolkit/Values.h"

namespace ui {

class Combo;
class Control;

class DropList {
 public:
  static constexpr int kDefaultItemHeight = 24;
  static constexpr int kScrollBarWidth = 8;

  explicit DropList(Combo& combo);

  Combo& GetCombo() const { return combo_; }
  Size GetSize() const { return size_; }
  // Combo item indices of the rows, top to bottom.
  const std::vector<int>& GetRows() const { return rows_; }
  // The row's rectangle after scrolling (may lie outside the pop-up).
  Rect GetRowRect(std::size_t row) const;
  Control* GetItem(int index) const;
  // The combo item index at x, y, or -1.
  int ItemAt(int x, int y) const;

  int GetHot() const { return hot_; }
  void SetHot(int index) { hot_ = index; }
  int GetScroll() const { return scroll_; }
  void ScrollBy(int dy);
  void EnsureVisible(int index);
  bool HasScrollBar() const { return contentHeight_ > size_.cy; }
  Rect GetThumbRect() const;

  // Whether index names a shown, enabled item.
  bool IsChoosable(int index) const;
  // Selects the item in the combo (with "itemselect" when it changes).
  // False, with nothing changed, for an item that is not choosable.
  bool Choose(int index);
  // Up/Down move the hot item. Enter (the caller then chooses the hot
  // item) and Escape ask to close the list.
  enum class KeyResult { Ignored, Moved, Close };
  KeyResult HandleKey(const KeyEvent& key);

 private:
  int RowHeight(int index) const;
  int RowOf(int index) const;

  Combo& combo_;
  std::vector<int> rows_;
  std::vector<int> rowTops_;
  int contentHeight_ = 0;
  Size size_;
  int hot_ = -1;
  int scroll_ = 0;
};

}  // namespace ui
