// The text of a one-line entry with its caret and selection.
//
// Positions are indices between characters (0 .. length). The selection runs
// between the anchor and the caret; it is empty when they meet. Insertions
// replace the selection; line breaks and other control characters never
// enter (a pasted path with a trailing newline stays one line), and the text
// never grows beyond kMaxLength characters (the rest of an insertion is
// dropped). A read-only buffer moves and selects but refuses every change.
// Plain value type; one thread at a time.
#pragma once
#include <cstddef>
#include <string>
#include <utility>

namespace ui {

class EditBuffer {
 public:
  static constexpr std::size_t kMaxLength = 1024;

  const std::wstring& GetText() const { return text_; }
  // Caret to the end, nothing selected. Control characters are dropped here too.
  void SetText(const std::wstring& text);
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool IsReadOnly() const { return readOnly_; }

  std::size_t GetCaret() const { return caret_; }
  std::size_t GetAnchor() const { return anchor_; }
  bool HasSelection() const { return caret_ != anchor_; }
  // First and last (exclusive) index of the selection.
  std::pair<std::size_t, std::size_t> GetSelection() const;
  std::wstring GetSelectedText() const;

  // Moves the caret (clamped); extend keeps the anchor, otherwise it follows.
  void MoveTo(std::size_t index, bool extend);
  // One character, or one word when byWord; without extend a selection
  // collapses to its side instead of moving.
  void MoveLeft(bool extend, bool byWord);
  void MoveRight(bool extend, bool byWord);
  void SelectAll();
  void SelectWordAt(std::size_t index);

  // False when nothing changed (read-only, or nothing to insert or delete).
  bool Insert(const std::wstring& text);
  bool Backspace();
  bool Delete();
  bool DeleteSelection();

 private:
  std::size_t WordStartBefore(std::size_t index) const;
  std::size_t WordEndAfter(std::size_t index) const;

  std::wstring text_;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
  bool readOnly_ = false;
};

}  // namespace ui
