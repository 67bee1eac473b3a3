// The texts of one language file, looked up by section and key as the
// windows do.
#pragma once
#include <memory>
#include <string>

#include "uitoolkit/Control.h"

namespace screenshots {

class LanguageTexts {
 public:
  explicit LanguageTexts(const std::string& name);
  bool IsLoaded() const { return tree_ != nullptr; }
  // Empty for a missing section or key.
  std::wstring Get(const std::wstring& section, const std::wstring& key) const;
  // The section's labels, for applying all of them.
  ui::Control* Section(const std::wstring& section) const;

 private:
  std::unique_ptr<ui::Control> tree_;
};

}  // namespace screenshots
