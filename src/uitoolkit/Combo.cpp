#include "uitoolkit/Combo.h"

#include "uitoolkit/ListLabelElement.h"

namespace ui {

Combo::Combo() { SetWantsVerticalScrollBar(true); }

std::wstring Combo::GetClass() const { return L"Combo"; }

// The items wait for the drop-down list; only the box has a place here.
void Combo::SetPos(const Rect& pos) { Control::SetPos(pos); }

void Combo::Activate(int, int) {
  if (ControlOwner* owner = GetOwner()) owner->OpenDropList(this);
}

std::wstring Combo::GetSelectedText() const {
  const Control* item = selected_ < 0 ? nullptr : GetItemAt(static_cast<std::size_t>(selected_));
  return item == nullptr ? std::wstring() : item->GetText();
}

void Combo::SetDropped(bool dropped) {
  if (dropped_ == dropped) return;
  dropped_ = dropped;
  Invalidate();
}

bool Combo::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (images_.SetAttribute(L"", name, value) || SetItemAttribute(name, value)) return true;
  if (name == L"dropboxsize") {
    dropBoxSize_ = ParseSize(value);
  } else if (name == L"textpadding") {
    textPadding_ = ParseRect(value);
  } else {
    return Container::SetAttribute(name, value);
  }
  return true;
}

bool Combo::SetItemAttribute(const std::wstring& name, const std::wstring& value) {
  ComboItemColours& c = itemColours_;
  if (name == L"itemfont") {
    itemFont_ = ParseInt(value);
    return true;
  }
  std::optional<uint32_t>* field = nullptr;
  if (name == L"itemtextcolor") field = &c.text;
  if (name == L"itemselectedtextcolor") field = &c.selectedText;
  if (name == L"itemselectedbkcolor") field = &c.selectedBk;
  if (name == L"itemhottextcolor") field = &c.hotText;
  if (name == L"itemhotbkcolor") field = &c.hotBk;
  if (name == L"itemdisabledtextcolor") field = &c.disabledText;
  if (name == L"itemdisabledbkcolor") field = &c.disabledBk;
  if (field == nullptr) return false;
  ReadColour(value, field);
  return true;
}

bool Combo::SelectItem(int index, bool notify) {
  if (index < 0 || static_cast<std::size_t>(index) >= GetCount()) return false;
  const int old = selected_;
  selected_ = index;
  MarkSelection();
  if (old == index) return true;
  Invalidate();
  if (notify) RaiseNotification(L"itemselect", static_cast<uintptr_t>(index), old);
  return true;
}

void Combo::OnItemAdded(Control* item, std::size_t index) {
  auto* element = dynamic_cast<ListLabelElement*>(item);
  if (element != nullptr && element->IsSelected()) SelectItem(static_cast<int>(index));
}

void Combo::MarkSelection() {
  for (std::size_t i = 0; i < GetCount(); ++i) {
    auto* element = dynamic_cast<ListLabelElement*>(GetItemAt(i));
    if (element != nullptr) element->SetSelected(static_cast<int>(i) == selected_);
  }
}

}  // namespace ui
