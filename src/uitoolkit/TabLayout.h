// A container that shows one child at a time ("TabLayout"). "selectedid" is
// the child shown first (0-based). The markup may name a child that never
// arrives; GetCurSel then still answers that number and GetSelectedItem null.
// Which child is selected decides what shows; the children's own "visible"
// flags are left as the markup set them. Every child is laid out over the
// whole area, so a page's controls have their places before it shows.
// Threads: as Control.
#pragma once
#include "uitoolkit/Container.h"

namespace ui {

class TabLayout : public Container {
 public:
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
  bool ShowsChild(std::size_t index) const override;

  int GetCurSel() const { return selected_; }
  Control* GetSelectedItem() const;
  // False, with the selection unchanged, when index names no child.
  bool SelectItem(int index);

 private:
  int selected_ = 0;
};

}  // namespace ui
