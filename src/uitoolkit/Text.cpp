#include "uitoolkit/Text.h"

namespace ui {

std::wstring Text::GetClass() const { return L"Text"; }

bool Text::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name != L"menu") return Label::SetAttribute(name, value);
  menu_ = ParseBool(value);
  return true;
}

bool Text::WantsMouseAt(int x, int y) const { return LinkAt(x, y) >= 0; }

void Text::Activate(int x, int y) {
  const int link = LinkAt(x, y);
  if (link >= 0) RaiseNotification(L"link", static_cast<uintptr_t>(link));
}

}  // namespace ui
