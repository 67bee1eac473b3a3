// Containers that stack their children vertically ("VerticalLayout") or
// horizontally ("HorizontalLayout"). They differ from Container only in the
// direction the layout engine will use; no attributes of their own.
// Threads: as Control.
#pragma once
#include "uitoolkit/Container.h"

namespace ui {

class VerticalLayout : public Container {
 public:
  std::wstring GetClass() const override { return L"VerticalLayout"; }
};

class HorizontalLayout : public Container {
 public:
  std::wstring GetClass() const override { return L"HorizontalLayout"; }
};

}  // namespace ui
