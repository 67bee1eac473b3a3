#include "uitoolkit/Combo.h"

#include "uitoolkit/ListLabelElement.h"

namespace ui {

std::wstring Combo::GetClass() const { return L"Combo"; }

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

bool Combo::SelectItem(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= GetCount()) return false;
  selected_ = index;
  MarkSelection();
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
