// Single-line text entry ("Edit"). "textpadding" (from Label) is the margin
// around the entered text; "readonly" forbids editing.
// Editing: the text, caret and selection live in an EditBuffer; keys come
// from the window while the edit has the focus (HandleKey), typed and
// composed text through InsertText (the backend's input method commits
// there), and the text being composed is shown at the caret (SetPreedit)
// until it is committed. A change raises "textchanged". Painting keeps the
// caret in view by moving the text sideways (scroll offset).
// Threads: as Control.
#pragma once
#include "uitoolkit/EditBuffer.h"
#include "uitoolkit/KeyEvent.h"
#include "uitoolkit/Label.h"

namespace ui {

class Edit : public Label {
 public:
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void SetText(const std::wstring& text) override;
  bool WantsMouse() const override { return true; }
  bool WantsFocus() const override { return IsEnabled(); }
  void SetFocused(bool focused) override;

  bool IsReadOnly() const { return buffer_.IsReadOnly(); }
  const EditBuffer& GetBuffer() const { return buffer_; }

  // True when the key was used. clipboard may be null (no copy and paste then).
  bool HandleKey(const KeyEvent& key, Clipboard* clipboard);
  bool InsertText(const std::wstring& text);
  // A press at character index: places the caret; a double click selects a
  // word, a triple click everything; extend keeps the anchor (shift).
  void PressAt(std::size_t index, int clickCount, bool extend);
  void DragTo(std::size_t index);

  const std::wstring& GetPreedit() const { return preedit_; }
  std::size_t GetPreeditCursor() const { return preeditCursor_; }
  void SetPreedit(const std::wstring& text, std::size_t cursor);

  int GetScrollX() const { return scrollX_; }
  void SetScrollX(int x) { scrollX_ = x; }
  bool IsCaretShown() const { return caretShown_; }
  // The blink: shows or hides the caret (shown again by every edit).
  void SetCaretShown(bool shown);

 private:
  void AfterChange(bool changed);
  bool HandleClipboardKey(const KeyEvent& key, Clipboard* clipboard);

  EditBuffer buffer_;
  std::wstring preedit_;
  std::size_t preeditCursor_ = 0;
  int scrollX_ = 0;
  bool caretShown_ = true;
};

}  // namespace ui
