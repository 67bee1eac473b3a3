// Turns a window's mouse and keyboard events into control states and
// notifications. Display-free: the backend feeds it events in client
// coordinates of the laid-out tree.
//
// Mouse: the interactive control under the pointer is hot; a press makes the
// control under it pushed and captures the mouse; the release over the same
// control activates it (Control::Activate: "click", option selection,
// "link", the combo's list). A press on no interactive control is not taken
// (MouseDown returns false), so the window may start a caption drag or a
// resize. Disabled controls are neither hot nor pushed. The wheel scrolls the
// nearest scrolling container under the pointer.
// Keyboard: keys and committed text go to the focused control (an edit);
// a press on a control that takes no focus clears the focus.
// Controls leaving the tree or the view must be forgotten (Forget), so that
// no state points at them.
// Threads: UI thread only. Activation may run window code that changes the
// tree; the router holds no control pointer across that call.
#pragma once
#include <cstddef>
#include <string>

#include "uitoolkit/KeyEvent.h"

namespace ui {

class Control;
class Edit;

// Where in an edit's text a point falls; the backend measures with its fonts.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual std::size_t EditIndexAt(const Edit& edit, int x) = 0;
};

enum class CursorKind { Arrow, Hand, IBeam };

class InputRouter {
 public:
  // Pixels the content moves per wheel notch.
  static constexpr int kWheelStep = 48;

  void SetRoot(Control* root) { root_ = root; }
  void SetTextMeasure(TextMeasure* measure) { measure_ = measure; }
  void SetClipboard(Clipboard* clipboard) { clipboard_ = clipboard; }

  void MouseMove(int x, int y);
  bool MouseDown(int x, int y, int clickCount, bool shift);
  void MouseUp(int x, int y);
  void MouseLeave();
  // notches > 0 scrolls down. False when nothing under the pointer scrolls.
  bool Wheel(int x, int y, int notches);
  bool KeyPress(const KeyEvent& key);
  bool CommitText(const std::wstring& text);
  void SetPreedit(const std::wstring& text, std::size_t cursor);

  // Drops hot, pushed and focus state of subtree and its descendants.
  void Forget(Control* subtree);
  void SetFocus(Control* control);

  Control* GetHot() const { return hot_; }
  Control* GetPushed() const { return pushed_; }
  Control* GetFocus() const { return focus_; }
  // The tool tip of the control under x, y (or of its nearest ancestor that has one).
  std::wstring ToolTipAt(int x, int y) const;
  CursorKind CursorAt(int x, int y) const;

 private:
  Control* InteractiveAt(int x, int y) const;
  void SetHot(Control* control, int x, int y);
  std::size_t EditIndex(const Edit& edit, int x) const;

  Control* root_ = nullptr;
  TextMeasure* measure_ = nullptr;
  Clipboard* clipboard_ = nullptr;
  Control* hot_ = nullptr;
  Control* pushed_ = nullptr;
  Control* focus_ = nullptr;
};

}  // namespace ui
