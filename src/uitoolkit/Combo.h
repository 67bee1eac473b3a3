// Drop-down list ("Combo"); raises "itemselect". Its children are the list
// items (ListLabelElement). The selection is the last item added with
// "selected" "true", or -1 when none is; SelectItem moves it. Attributes:
// "dropboxsize" (list width and height), "textpadding", the item colours
// ("itemtextcolor", "itemselectedtextcolor", "itemselectedbkcolor",
// "itemhottextcolor", "itemhotbkcolor", "itemdisabledtextcolor",
// "itemdisabledbkcolor"), "itemfont", and the four state pictures of the box.
// The items are not laid out inside the box: a click asks the window for the
// drop-down list (ControlOwner::OpenDropList, see DropList.h), which shows
// the visible items and selects one with "itemselect". The box shows the
// selected item's text. The builder gives every combo box a vertical scroll
// bar from the window's defaults; the list uses its pictures.
// Threads: as Control.
#pragma once
#include "uitoolkit/Container.h"
#include "uitoolkit/StateImages.h"

namespace ui {

struct ComboItemColours {
  std::optional<uint32_t> text;
  std::optional<uint32_t> selectedText;
  std::optional<uint32_t> selectedBk;
  std::optional<uint32_t> hotText;
  std::optional<uint32_t> hotBk;
  std::optional<uint32_t> disabledText;
  std::optional<uint32_t> disabledBk;
};

class Combo : public Container {
 public:
  Combo();
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
  bool HasInlineChildren() const override { return false; }
  bool WantsMouse() const override { return true; }
  void SetPos(const Rect& pos) override;
  void Activate(int x, int y) override;

  int GetCurSel() const { return selected_; }
  // False, with the selection unchanged, when index names no item. With
  // notify, a change raises "itemselect" (wParam new index, lParam old one);
  // the program's own selections are silent by default.
  bool SelectItem(int index, bool notify = false);
  // The selected item's text, or empty.
  std::wstring GetSelectedText() const;
  bool IsDropped() const { return dropped_; }
  void SetDropped(bool dropped);

  const Size& GetDropBoxSize() const { return dropBoxSize_; }
  const Rect& GetTextPadding() const { return textPadding_; }
  const ComboItemColours& GetItemColours() const { return itemColours_; }
  int GetItemFont() const { return itemFont_; }
  const StateImages& GetImages() const { return images_; }

 protected:
  void OnItemAdded(Control* item, std::size_t index) override;

 private:
  bool SetItemAttribute(const std::wstring& name, const std::wstring& value);
  void MarkSelection();

  int selected_ = -1;
  bool dropped_ = false;
  Size dropBoxSize_;
  Rect textPadding_;
  ComboItemColours itemColours_;
  int itemFont_ = -1;
  StateImages images_;
};

}  // namespace ui
