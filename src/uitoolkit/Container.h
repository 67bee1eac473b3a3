// A control that owns an ordered list of child controls ("Container"
// element; base of the layouts, the tab layout, the combo box and the rich edit).
//
// Ownership: children are owned through std::unique_ptr and destroyed with
// the container; Add sets their parent link. The optional scroll bars asked
// for by "vscrollbar"/"hscrollbar" are owned too, but are not children: the
// markup builder attaches them after the attributes, with the "VScrollBar" /
// "HScrollBar" defaults applied. "childpadding" is the gap between children.
// Layout (SetPos): the children are placed inside the position less the
// inset (see StackLayout.h). When the container has a vertical scroll bar and
// its children need more height than it has, the bar takes its width at the
// right of that area, the children are laid out over their full height and
// moved up by the scroll position, and painting clips them to the client
// rectangle. The range ends where the content ends (a wrapped text at its
// last line, see Label::GetTextHeight), not lower. A horizontal scroll bar is
// read but never shown.
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

  void SetPos(const Rect& pos) override;
  // Whether the child at index shows; a tab layout shows only its selected one.
  virtual bool ShowsChild(std::size_t index) const;
  // Where the children show: the position less the inset and the scroll bar.
  const Rect& GetClientRect() const { return client_; }
  // Scrolls by dy pixels (positive: down). False when it cannot move.
  bool ScrollBy(int dy);

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
  void SetWantsVerticalScrollBar(bool wants) { wantsVScroll_ = wants; }
  // Places the non-float children inside area; the plain container overlays them.
  virtual void ArrangeChildren(const Rect& area);
  // Height the children need (for the scroll range).
  virtual int NeededHeight() const;

 private:
  void EndRangeAtContent(int contentTop);

  std::vector<std::unique_ptr<Control>> items_;
  std::unique_ptr<ScrollBar> vScroll_;
  std::unique_ptr<ScrollBar> hScroll_;
  Rect client_;
  int childPadding_ = 0;
  bool wantsVScroll_ = false;
  bool wantsHScroll_ = false;
};

}  // namespace ui
