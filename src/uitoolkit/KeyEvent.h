// A key press as the display-free controls see it: the few keys they act
// on, with the modifier state, or text typed (see also the input method's
// commit, which arrives as text). The backend translates its own events.
#pragma once
#include <string>

namespace ui {

enum class Key {
  None,
  Left,
  Right,
  Up,
  Down,
  Home,
  End,
  Backspace,
  Delete,
  Enter,
  Escape,
  Tab,
  A,
  C,
  V,
  X
};

struct KeyEvent {
  Key key = Key::None;
  bool shift = false;
  bool control = false;
};

// The system clipboard's text, as a backend offers it. UI thread only.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual std::wstring GetText() = 0;
  virtual void SetText(const std::wstring& text) = 0;
};

}  // namespace ui
