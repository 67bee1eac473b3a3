// An option without a group ("CheckBox"): its "group" attribute is ignored, so
// ticking it never clears another control. Threads: as Control.
#pragma once
#include "uitoolkit/Option.h"

namespace ui {

class CheckBox : public Option {
 public:
  std::wstring GetClass() const override { return L"CheckBox"; }
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override {
    return name != L"group" && Option::SetAttribute(name, value);
  }
};

}  // namespace ui
