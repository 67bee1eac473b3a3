// Progress bar ("Progress"): "min", "max", "value", "hor" (horizontal, the
// default), "foreimage" (the filled part, drawn over "bkimage"). The value is
// kept as set; the drawing clamps it into [min, max]. Threads: as Control.
#pragma once
#include "uitoolkit/Label.h"

namespace ui {

class Progress : public Label {
 public:
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

  int GetMinValue() const { return min_; }
  int GetMaxValue() const { return max_; }
  int GetValue() const { return value_; }
  void SetValue(int value);
  // How much of a bar length pixels long is filled; 0 when max <= min.
  int FilledLength(int length) const;
  bool IsHorizontal() const { return horizontal_; }
  const PictureDescriptor& GetForeImage() const { return foreImage_; }

 private:
  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  bool horizontal_ = true;
  PictureDescriptor foreImage_;
};

}  // namespace ui
