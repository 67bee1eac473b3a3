#include "LanguageTexts.h"

#include "platform/Encoding.h"
#include "uitoolkit/MarkupBuilder.h"

namespace screenshots {

LanguageTexts::LanguageTexts(const std::string& name)
    : tree_(
          ui::BuildFreeStandingTree(L"language\\language_" + platform::FromUtf8(name) + L".xml")) {}

std::wstring LanguageTexts::Get(const std::wstring& section, const std::wstring& key) const {
  const ui::Control* label = ui::FindControlInSection(tree_.get(), section, key);
  return label != nullptr ? label->GetText() : std::wstring();
}

ui::Control* LanguageTexts::Section(const std::wstring& section) const {
  return ui::FindControl(tree_.get(), section);
}

}  // namespace screenshots
