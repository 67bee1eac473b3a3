#include "uitoolkit/ControlSearch.h"

#include "uitoolkit/Control.h"

namespace ui {

Control* FindControl(Control* root, const std::wstring& name) {
  if (root == nullptr || name.empty()) return nullptr;
  if (root->GetName() == name) return root;
  for (std::size_t i = 0; i < root->GetCount(); ++i) {
    if (Control* found = FindControl(root->GetItemAt(i), name)) return found;
  }
  return nullptr;
}

Control* FindControlInSection(Control* root, const std::wstring& sectionName,
                              const std::wstring& name) {
  Control* section = FindControl(root, sectionName);
  if (section == nullptr) return nullptr;
  for (std::size_t i = 0; i < section->GetCount(); ++i) {
    if (Control* found = FindControl(section->GetItemAt(i), name)) return found;
  }
  return nullptr;
}

}  // namespace ui
