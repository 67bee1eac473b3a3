// A control that owns an ordered list of child controls ("Container"
// element; base of the layouts, the tab layout, the combo box and the rich edit).
//
// Ownership: children are owned through std::unique_ptr and destroyed with
// the container; Add sets their parent link. The optional scroll bars asked
// for by "vscrollbar"/"hscrollbar" are owned too, but are not children: the
// markup builder attaches them after the attributes, with the "VScrollBar" /
// "HScrollBar" defaults applied. "childpadding" is the gap between children.
// Threads: as Control.
#pragma once
#include <memory>
#include <vector>

#include "uitoolkit/Control.h"

namespace ui {

class ScrollBar;

class Container : public Control {
 public:
  Container();
  ~Container() override;

  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

  Container* AsContainer() override;
  std::size_t GetCount() const override;
  Control* GetItemAt(std::size_t index) const override;
  // Index of a direct child, or -1.
  int GetItemIndex(const Control* child) const;

  // Appends child (ignored when null) and returns it.
  Control* Add(std::unique_ptr<Control> child);
  // Detaches and returns the child at index; null when out of range.
  std::unique_ptr<Control> TakeAt(std::size_t index);

  int GetChildPadding() const { return childPadding_; }
  bool WantsVerticalScrollBar() const { return wantsVScroll_; }
  bool WantsHorizontalScrollBar() const { return wantsHScroll_; }
  ScrollBar* GetVerticalScrollBar() const { return vScroll_.get(); }
  ScrollBar* GetHorizontalScrollBar() const { return hScroll_.get(); }
  void SetVerticalScrollBar(std::unique_ptr<ScrollBar> bar);
  void SetHorizontalScrollBar(std::unique_ptr<ScrollBar> bar);

 protected:
  // Called after a child joined at index; lets list-like classes track selection.
  virtual void OnItemAdded(Control* item, std::size_t index);

 private:
  std::vector<std::unique_ptr<Control>> items_;
  std::unique_ptr<ScrollBar> vScroll_;
  std::unique_ptr<ScrollBar> hScroll_;
  int childPadding_ = 0;
  bool wantsVScroll_ = false;
  bool wantsHScroll_ = false;
};

}  // namespace ui
