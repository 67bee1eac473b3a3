#include "uitoolkit/Container.h"

#include <algorithm>
#include <climits>

#include "uitoolkit/Geometry.h"
#include "uitoolkit/Label.h"
#include "uitoolkit/ScrollBar.h"
#include "uitoolkit/StackLayout.h"

namespace ui {

Container::Container() = default;
Container::~Container() = default;

std::wstring Container::GetClass() const { return L"Container"; }

bool Container::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"childpadding") {
    childPadding_ = ParseInt(value);
  } else if (name == L"vscrollbar") {
    wantsVScroll_ = ParseBool(value);
  } else if (name == L"hscrollbar") {
    wantsHScroll_ = ParseBool(value);
  } else {
    return Control::SetAttribute(name, value);
  }
  return true;
}

Container* Container::AsContainer() { return this; }

std::size_t Container::GetCount() const { return items_.size(); }

Control* Container::GetItemAt(std::size_t index) const {
  return index < items_.size() ? items_[index].get() : nullptr;
}

int Container::GetItemIndex(const Control* child) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == child) return static_cast<int>(i);
  }
  return -1;
}

Control* Container::Add(std::unique_ptr<Control> child) {
  if (!child) return nullptr;
  child->parent_ = this;
  items_.push_back(std::move(child));
  Control* added = items_.back().get();
  OnItemAdded(added, items_.size() - 1);
  return added;
}

std::unique_ptr<Control> Container::TakeAt(std::size_t index) {
  if (index >= items_.size()) return nullptr;
  if (ControlOwner* owner = GetOwner()) owner->OnControlRemoved(items_[index].get());
  Invalidate();
  std::unique_ptr<Control> child = std::move(items_[index]);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
  child->parent_ = nullptr;
  return child;
}

void Container::SetVerticalScrollBar(std::unique_ptr<ScrollBar> bar) {
  if (bar) bar->parent_ = this;
  vScroll_ = std::move(bar);
}

void Container::SetHorizontalScrollBar(std::unique_ptr<ScrollBar> bar) {
  if (bar) bar->parent_ = this;
  hScroll_ = std::move(bar);
}

void Container::OnItemAdded(Control*, std::size_t) {}

bool Container::ShowsChild(std::size_t) const { return true; }

void Container::SetPos(const Rect& pos) {
  Control::SetPos(pos);
  Rect area = Deflate(pos, GetInset());
  int scroll = 0;
  int needed = 0;
  if (vScroll_) {
    needed = NeededHeight();
    const bool scrolls = needed > Height(area);
    if (scrolls) {
      const int barWidth = vScroll_->GetFixedWidth() > 0 ? vScroll_->GetFixedWidth() : 16;
      vScroll_->SetPos(Rect{area.right - barWidth, area.top, area.right, area.bottom});
      area.right -= barWidth;
    }
    vScroll_->SetScrollRange(scrolls ? needed - Height(area) : 0, Height(area));
    scroll = vScroll_->GetScrollPos();
  }
  client_ = area;
  Rect laid = Offset(area, 0, -scroll);
  if (scroll > 0 || needed > Height(area)) laid.bottom = laid.top + std::max(needed, Height(area));
  ArrangeChildren(laid);
  PlaceFloats(*this);
  if (vScroll_ && vScroll_->GetScrollRange() > 0) EndRangeAtContent(laid.top);
}

namespace {

// The lowest edge of what control shows: a wrapped text ends at its last
// line, a container without a picture of its own at its lowest child; every
// other control at its bottom edge. INT_MIN when it shows nothing.
int ContentBottom(const Control& control) {
  if (!control.IsVisible()) return INT_MIN;
  const Rect& pos = control.GetPos();
  if (auto* label = dynamic_cast<const Label*>(&control)) {
    if (label->IsMultiLine() && label->GetTextHeight() > 0) {
      return std::min(pos.bottom, pos.top + label->GetTextPadding().top + label->GetTextHeight());
    }
    return pos.bottom;
  }
  if (control.GetCount() == 0 || !control.GetBkImage().IsEmpty()) return pos.bottom;
  int bottom = INT_MIN;
  for (std::size_t i = 0; i < control.GetCount(); ++i) {
    const Control& child = *control.GetItemAt(i);
    if (!child.IsFloat()) bottom = std::max(bottom, ContentBottom(child));
  }
  return bottom;
}

}  // namespace

// A scrolling view's range ends with its content (plus the inset below it),
// so that a box made taller than its text scrolls no further than the text.
void Container::EndRangeAtContent(int contentTop) {
  int bottom = INT_MIN;
  for (std::size_t i = 0; i < GetCount(); ++i) {
    if (ShowsChild(i) && !GetItemAt(i)->IsFloat())
      bottom = std::max(bottom, ContentBottom(*GetItemAt(i)));
  }
  if (bottom == INT_MIN) return;
  const int extent = bottom - contentTop + GetInset().bottom;
  const int range = std::max(0, std::min(vScroll_->GetScrollRange(), extent - Height(client_)));
  if (range == vScroll_->GetScrollRange()) return;
  const int scroll = vScroll_->GetScrollPos();
  vScroll_->SetScrollRange(range, Height(client_));
  if (vScroll_->GetScrollPos() != scroll) {
    // The position was clamped: lay the children out where it now is.
    const int shift = scroll - vScroll_->GetScrollPos();
    ArrangeChildren(Offset(Rect{client_.left, contentTop, client_.right,
                                contentTop + std::max(NeededHeight(), Height(client_))},
                           0, shift));
    PlaceFloats(*this);
  }
}

void Container::ArrangeChildren(const Rect& area) { ArrangeOverlay(*this, area); }

int Container::NeededHeight() const { return OverlayExtent(*this); }

bool Container::ScrollBy(int dy) {
  if (!vScroll_ || vScroll_->GetScrollRange() <= 0) return false;
  const int before = vScroll_->GetScrollPos();
  vScroll_->SetScrollPos(before + dy);
  return vScroll_->GetScrollPos() != before;
}

}  // namespace ui
