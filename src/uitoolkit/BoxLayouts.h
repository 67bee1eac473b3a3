// Containers that stack their children vertically ("VerticalLayout") or
// horizontally ("HorizontalLayout"); the arithmetic is in StackLayout.h.
// No attributes of their own. Threads: as Control.
#pragma once
#include "uitoolkit/Container.h"
#include "uitoolkit/StackLayout.h"

namespace ui {

class VerticalLayout : public Container {
 public:
  std::wstring GetClass() const override { return L"VerticalLayout"; }

 protected:
  void ArrangeChildren(const Rect& area) override { ArrangeStack(*this, area, true); }
  int NeededHeight() const override { return StackedExtent(*this, true); }
};

class HorizontalLayout : public Container {
 public:
  std::wstring GetClass() const override { return L"HorizontalLayout"; }

 protected:
  void ArrangeChildren(const Rect& area) override { ArrangeStack(*this, area, false); }
};

}  // namespace ui
