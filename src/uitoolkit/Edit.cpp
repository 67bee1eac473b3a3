#include "uitoolkit/Edit.h"

namespace ui {

std::wstring Edit::GetClass() const { return L"Edit"; }

bool Edit::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name != L"readonly") return Label::SetAttribute(name, value);
  buffer_.SetReadOnly(ParseBool(value));
  return true;
}

void Edit::SetText(const std::wstring& text) {
  buffer_.SetText(text);
  Label::SetText(buffer_.GetText());
}

void Edit::SetFocused(bool focused) {
  if (!focused) SetPreedit(std::wstring(), 0);
  caretShown_ = true;
  Label::SetFocused(focused);
}

void Edit::AfterChange(bool changed) {
  caretShown_ = true;
  if (changed) {
    Label::SetText(buffer_.GetText());
    RaiseNotification(L"textchanged");
  }
  Invalidate();
}

bool Edit::InsertText(const std::wstring& text) {
  const bool changed = buffer_.Insert(text);
  AfterChange(changed);
  return changed;
}

bool Edit::HandleClipboardKey(const KeyEvent& key, Clipboard* clipboard) {
  if (key.key == Key::A) {
    buffer_.SelectAll();
    AfterChange(false);
    return true;
  }
  if (clipboard == nullptr) return false;
  if ((key.key == Key::C || key.key == Key::X) && buffer_.HasSelection()) {
    clipboard->SetText(buffer_.GetSelectedText());
    if (key.key == Key::X) AfterChange(buffer_.DeleteSelection());
    return true;
  }
  if (key.key == Key::V) {
    InsertText(clipboard->GetText());
    return true;
  }
  return false;
}

bool Edit::HandleKey(const KeyEvent& key, Clipboard* clipboard) {
  if (key.control && HandleClipboardKey(key, clipboard)) return true;
  bool changed = false;
  switch (key.key) {
    case Key::Left:
      buffer_.MoveLeft(key.shift, key.control);
      break;
    case Key::Right:
      buffer_.MoveRight(key.shift, key.control);
      break;
    case Key::Home:
      buffer_.MoveTo(0, key.shift);
      break;
    case Key::End:
      buffer_.MoveTo(buffer_.GetText().size(), key.shift);
      break;
    case Key::Backspace:
      changed = buffer_.Backspace();
      break;
    case Key::Delete:
      changed = buffer_.Delete();
      break;
    default:
      return false;
  }
  AfterChange(changed);
  return true;
}

void Edit::PressAt(std::size_t index, int clickCount, bool extend) {
  if (clickCount >= 3) {
    buffer_.SelectAll();
  } else if (clickCount == 2) {
    buffer_.SelectWordAt(index);
  } else {
    buffer_.MoveTo(index, extend);
  }
  AfterChange(false);
}

void Edit::DragTo(std::size_t index) {
  buffer_.MoveTo(index, true);
  AfterChange(false);
}

void Edit::SetPreedit(const std::wstring& text, std::size_t cursor) {
  if (preedit_ == text && preeditCursor_ == cursor) return;
  preedit_ = text;
  preeditCursor_ = cursor;
  Invalidate();
}

void Edit::SetCaretShown(bool shown) {
  if (caretShown_ == shown) return;
  caretShown_ = shown;
  Invalidate();
}

}  // namespace ui
