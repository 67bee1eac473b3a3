// One item of a combo box's list ("ListLabelElement"): text, tool tip, font
// and fixed height come from the common attributes; "selected" marks the
// item the combo box starts on. The combo box keeps the flags of its items
// in step with its selection. Threads: as Control.
#pragma once
#include "uitoolkit/Control.h"

namespace ui {

class ListLabelElement : public Control {
 public:
  std::wstring GetClass() const override { return L"ListLabelElement"; }
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override {
    if (name != L"selected") return Control::SetAttribute(name, value);
    selected_ = ParseBool(value);
    return true;
  }

  bool IsSelected() const { return selected_; }
  void SetSelected(bool selected) { selected_ = selected; }

 private:
  bool selected_ = false;
};

}  // namespace ui
