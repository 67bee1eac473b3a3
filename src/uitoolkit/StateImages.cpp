#include "uitoolkit/StateImages.h"

namespace ui {

bool StateImages::SetAttribute(const std::wstring& prefix, const std::wstring& name,
                               const std::wstring& value) {
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  const std::wstring state = name.substr(prefix.size());
  PictureDescriptor* slot = nullptr;
  if (state == L"normalimage") slot = &normal;
  if (state == L"hotimage") slot = &hot;
  if (state == L"pushedimage") slot = &pushed;
  if (state == L"disabledimage") slot = &disabled;
  if (slot == nullptr) return false;
  *slot = ParsePicture(value);
  return true;
}

}  // namespace ui

namespace ui {

const PictureDescriptor& StateImages::ForState(ControlState state) const {
  const PictureDescriptor* own = &normal;
  if (state == ControlState::Hot) own = &hot;
  if (state == ControlState::Pushed) own = &pushed;
  if (state == ControlState::Disabled) own = &disabled;
  return own->IsEmpty() ? normal : *own;
}

}  // namespace ui
