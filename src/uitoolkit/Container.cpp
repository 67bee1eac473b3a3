#include "uitoolkit/Container.h"

#include "uitoolkit/ScrollBar.h"

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

}  // namespace ui
