#include "uitoolkit/EditBuffer.h"

#include <algorithm>

namespace ui {
namespace {

bool IsControlCharacter(wchar_t c) { return c < 0x20 || c == 0x7F; }

bool IsWordCharacter(wchar_t c) {
  // Separators of paths and sentences end a word; every other letter counts.
  static const std::wstring kSeparators = L" \t\\/.,;:-_()[]{}\"'";
  return kSeparators.find(c) == std::wstring::npos;
}

std::wstring WithoutControls(const std::wstring& text) {
  std::wstring clean;
  for (wchar_t c : text) {
    if (!IsControlCharacter(c)) clean += c;
  }
  return clean;
}

}  // namespace

void EditBuffer::SetText(const std::wstring& text) {
  text_ = WithoutControls(text).substr(0, kMaxLength);
  caret_ = anchor_ = text_.size();
}

std::pair<std::size_t, std::size_t> EditBuffer::GetSelection() const {
  return {std::min(caret_, anchor_), std::max(caret_, anchor_)};
}

std::wstring EditBuffer::GetSelectedText() const {
  const auto range = GetSelection();
  return text_.substr(range.first, range.second - range.first);
}

void EditBuffer::MoveTo(std::size_t index, bool extend) {
  caret_ = std::min(index, text_.size());
  if (!extend) anchor_ = caret_;
}

void EditBuffer::MoveLeft(bool extend, bool byWord) {
  if (!extend && HasSelection()) return MoveTo(GetSelection().first, false);
  if (caret_ == 0) return MoveTo(0, extend);
  MoveTo(byWord ? WordStartBefore(caret_) : caret_ - 1, extend);
}

void EditBuffer::MoveRight(bool extend, bool byWord) {
  if (!extend && HasSelection()) return MoveTo(GetSelection().second, false);
  MoveTo(byWord ? WordEndAfter(caret_) : caret_ + 1, extend);
}

void EditBuffer::SelectAll() {
  anchor_ = 0;
  caret_ = text_.size();
}

void EditBuffer::SelectWordAt(std::size_t index) {
  index = std::min(index, text_.size());
  std::size_t start = index;
  while (start > 0 && IsWordCharacter(text_[start - 1])) --start;
  std::size_t end = index;
  while (end < text_.size() && IsWordCharacter(text_[end])) ++end;
  anchor_ = start;
  caret_ = end;
}

std::size_t EditBuffer::WordStartBefore(std::size_t index) const {
  while (index > 0 && !IsWordCharacter(text_[index - 1])) --index;
  while (index > 0 && IsWordCharacter(text_[index - 1])) --index;
  return index;
}

std::size_t EditBuffer::WordEndAfter(std::size_t index) const {
  while (index < text_.size() && !IsWordCharacter(text_[index])) ++index;
  while (index < text_.size() && IsWordCharacter(text_[index])) ++index;
  return index;
}

bool EditBuffer::Insert(const std::wstring& text) {
  if (readOnly_) return false;
  std::wstring clean = WithoutControls(text);
  const auto range = GetSelection();
  const std::size_t room = kMaxLength - (text_.size() - (range.second - range.first));
  clean = clean.substr(0, room);
  if (clean.empty() && range.first == range.second) return false;
  text_.replace(range.first, range.second - range.first, clean);
  caret_ = anchor_ = range.first + clean.size();
  return true;
}

bool EditBuffer::DeleteSelection() {
  if (readOnly_ || !HasSelection()) return false;
  return Insert(std::wstring());
}

bool EditBuffer::Backspace() {
  if (readOnly_) return false;
  if (HasSelection()) return DeleteSelection();
  if (caret_ == 0) return false;
  text_.erase(caret_ - 1, 1);
  caret_ = anchor_ = caret_ - 1;
  return true;
}

bool EditBuffer::Delete() {
  if (readOnly_) return false;
  if (HasSelection()) return DeleteSelection();
  if (caret_ >= text_.size()) return false;
  text_.erase(caret_, 1);
  return true;
}

}  // namespace ui
