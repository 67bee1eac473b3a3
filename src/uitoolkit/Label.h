// One-line text ("Label"); base of the text, button, edit and progress classes.
// "showhtml" makes the text brace markup (see TextMarkup.h); "multiline"
// allows line breaks; "endellipsis" cuts a too long text with "...";
// "textpadding" is the margin around the text.
// Links: painting measures where the {a} links of the text landed and
// stores their rectangles here (SetLinkAreas); hit testing reads them. The
// hot link is the one under the mouse, drawn in the window's hover colour.
// Threads: as Control.
#pragma once
#include <vector>

#include "uitoolkit/Control.h"

namespace ui {

struct LinkArea {
  int link = -1;  // 0-based number of the {a} in the text
  Rect rect;
};

class Label : public Control {
 public:
  std::wstring GetClass() const override;
  bool SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void SetText(const std::wstring& text) override;

  bool IsShowHtml() const { return showHtml_; }
  bool IsMultiLine() const { return multiLine_; }
  bool IsEndEllipsis() const { return endEllipsis_; }
  const Rect& GetTextPadding() const { return textPadding_; }

  // The height a wrapped ("multiline") text needs at its width and full
  // size, as painting last measured it; 0 before. A scrolling view ends its
  // range at the text's last line rather than at the bottom of its box.
  int GetTextHeight() const { return textHeight_; }
  void SetTextHeight(int height);

  const std::vector<LinkArea>& GetLinkAreas() const { return linkAreas_; }
  void SetLinkAreas(std::vector<LinkArea> areas) { linkAreas_ = std::move(areas); }
  // The link at x, y, or -1.
  int LinkAt(int x, int y) const;
  int GetHotLink() const { return hotLink_; }
  void SetHotLink(int link);

 private:
  bool showHtml_ = false;
  bool multiLine_ = false;
  bool endEllipsis_ = false;
  Rect textPadding_;
  std::vector<LinkArea> linkAreas_;
  int hotLink_ = -1;
  int textHeight_ = 0;
};

}  // namespace ui
