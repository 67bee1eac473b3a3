// Two-state button in a group ("Option"); raises "selectchanged". Within one
// tree at most one option of a group name is selected when selection goes
// through Select; the "selected" attribute only sets this option's own flag
// (the markup is trusted to select one per group). "selectedimage" replaces the
// normal picture while selected.
// A click raises "click", then selects a grouped option (a selected one stays
// selected) or toggles one without group. "selectchanged" comes from the
// option whose state changed by Select, not from the group members it cleared.
// Threads: as Control.
#pragma once
#include "uitoolkit/Button.h"

namespace ui {

class Option : public Button {
 public:
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void Activate(int x, int y) override;

  const std::wstring& GetGroup() const { return group_; }
  bool IsSelected() const { return selected_; }
  // Selecting clears every other option of the same non-empty group in the
  // tree this option belongs to (searched from its root). With notify, a
  // change raises "selectchanged".
  void Select(bool selected, bool notify = true);
  const PictureDescriptor& GetSelectedImage() const { return selectedImage_; }
  const std::optional<uint32_t>& GetSelectedTextColor() const { return selectedTextColor_; }

 private:
  void ClearGroupIn(Control* control);

  std::wstring group_;
  bool selected_ = false;
  PictureDescriptor selectedImage_;
  std::optional<uint32_t> selectedTextColor_;
};

}  // namespace ui
