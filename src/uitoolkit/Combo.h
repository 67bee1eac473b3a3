// Drop-down list ("Combo"); raises "itemselect". Its children are the list
// items (ListLabelElement). The selection is the last item added with
// "selected" "true", or -1 when none is; SelectItem moves it. Attributes:
// "dropboxsize" (list width and height), "textpadding", the item colours
// ("itemtextcolor", "itemselectedtextcolor", "itemselectedbkcolor",
// "itemhottextcolor", "itemhotbkcolor", "itemdisabledtextcolor",
// "itemdisabledbkcolor"), "itemfont", and the four state pictures of the box.
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
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

  int GetCurSel() const { return selected_; }
  // False, with the selection unchanged, when index names no item.
  bool SelectItem(int index);

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
  Size dropBoxSize_;
  Rect textPadding_;
  ComboItemColours itemColours_;
  int itemFont_ = -1;
  StateImages images_;
};

}  // namespace ui
