// Multi-line text holder ("RichEdit"; the licences). A container so that it
// can own its scroll bars ("vscrollbar"). "multiline", "autovscroll", "rich",
// "readonly", "menu" are kept for the backend; "textpadding" is the margin
// around the text. The text wraps at the client width; painting measures its
// height (SetContentHeight) and the scroll bar covers what does not fit.
// Threads: as Control.
#pragma once
#include "uitoolkit/Container.h"

namespace ui {

class RichEdit : public Container {
 public:
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;

  bool IsMultiLine() const { return multiLine_; }
  bool IsAutoVScroll() const { return autoVScroll_; }
  bool IsRich() const { return rich_; }
  bool IsReadOnly() const { return readOnly_; }
  bool HasMenu() const { return menu_; }
  const Rect& GetTextPadding() const { return textPadding_; }
  bool WantsMouse() const override { return true; }

  int GetContentHeight() const { return contentHeight_; }
  // False when unchanged; otherwise the layout is redone at once.
  bool SetContentHeight(int height);
  int GetScrollY() const;

 protected:
  int NeededHeight() const override;

 private:
  bool multiLine_ = false;
  bool autoVScroll_ = false;
  bool rich_ = false;
  bool readOnly_ = false;
  bool menu_ = false;
  Rect textPadding_;
  int contentHeight_ = 0;
};

}  // namespace ui
