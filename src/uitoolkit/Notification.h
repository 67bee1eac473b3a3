// What a control tree reports to the window that shows it.
//
// Notification: one user action or state change, named as the markup's
// window code expects ("click", "selectchanged", "itemselect", "link",
// "headerclick", "itemactivate"), with the control that raised it. For
// "itemselect" wParam is the new item index and lParam the old one; for
// "link" wParam is the 0-based number of the {a} link within the text.
//
// ControlOwner: the window side of a tree. The root of a shown tree holds a
// pointer to its owner (Control::SetOwner); every control reaches it through
// its root. All calls come on the UI thread, from inside control methods.
#pragma once
#include <cstdint>
#include <string>

namespace ui {

class Control;
class Combo;

struct Notification {
  std::wstring type;
  Control* sender = nullptr;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

class ControlOwner {
 public:
  virtual ~ControlOwner() = default;
  // Delivers a notification at once (the sender is alive during the call).
  virtual void SendNotify(const Notification& notification) = 0;
  // Something of control changed that shows: repaint (and lay out) soon.
  virtual void OnControlChanged(Control* control) = 0;
  // control and its descendants leave the tree or the view (an unselected
  // tab page): forget pointers to them.
  virtual void OnControlRemoved(Control* control) = 0;
  // A combo box asks for its drop-down list.
  virtual void OpenDropList(Combo* combo) = 0;
};

}  // namespace ui
