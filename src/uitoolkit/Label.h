// One-line text ("Label"); base of the text, button, edit and progress classes.
// "showhtml" makes the text brace markup (see TextMarkup.h); "multiline"
// allows line breaks; "endellipsis" cuts a too long text with "...";
// "textpadding" is the margin around the text. Threads: as Control.
#pragma once
#include "uitoolkit/Control.h"

namespace ui {

class Label : public Control {
 public:
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

  bool IsShowHtml() const { return showHtml_; }
  bool IsMultiLine() const { return multiLine_; }
  bool IsEndEllipsis() const { return endEllipsis_; }
  const Rect& GetTextPadding() const { return textPadding_; }

 private:
  bool showHtml_ = false;
  bool multiLine_ = false;
  bool endEllipsis_ = false;
  Rect textPadding_;
};

}  // namespace ui
