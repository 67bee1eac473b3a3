// Push button ("Button"); raises "click". Its pictures per state come from
// "normalimage", "hotimage", "pushedimage", "disabledimage"; a state without a
// picture is drawn with the normal one ("disableimage", a spelling some skins
// use, is no attribute, so such a button looks normal when disabled). Text is
// centred unless "align" says otherwise. Threads: as Control.
#pragma once
#include "uitoolkit/Label.h"
#include "uitoolkit/StateImages.h"

namespace ui {

class Button : public Label {
 public:
  Button();

  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
  bool WantsMouse() const override { return true; }
  void Activate(int x, int y) override;
  // The look this button has now: disabled, pushed, hot or normal.
  ControlState GetState() const;

  const StateImages& GetImages() const { return images_; }
  const std::optional<uint32_t>& GetHotTextColor() const { return hotTextColor_; }
  const std::optional<uint32_t>& GetPushedTextColor() const { return pushedTextColor_; }

 private:
  StateImages images_;
  std::optional<uint32_t> hotTextColor_;
  std::optional<uint32_t> pushedTextColor_;
};

}  // namespace ui
