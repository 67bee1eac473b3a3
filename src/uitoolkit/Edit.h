// Single-line text entry ("Edit"). "textpadding" (from Label) is the margin
// around the entered text; "readonly" forbids editing.
// Threads: as Control.
#pragma once
#include "uitoolkit/Label.h"

namespace ui {

class Edit : public Label {
 public:
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

  bool IsReadOnly() const { return readOnly_; }

 private:
  bool readOnly_ = false;
};

}  // namespace ui
