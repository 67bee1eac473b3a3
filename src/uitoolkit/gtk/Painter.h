// Paints a laid-out control tree with cairo: for each shown control its
// background colour (not at all when its alpha is 0), background picture,
// state picture (buttons, options, check boxes, combo boxes, progress bars),
// text and border (drawn opaque), then its children clipped to its client
// rectangle (float children to its position) and its scroll bar. Painting
// also records what later input needs: the places of links (Label) and the
// content height of rich edits, and keeps an edit's caret in view.
// Works on any cairo context (a window's or an offscreen image surface), so
// it needs no display. Same thread as the tree.
#pragma once
#include <cairo.h>

#include "uitoolkit/ImageStore.h"
#include "uitoolkit/WindowMarkup.h"
#include "uitoolkit/gtk/TextPainter.h"

namespace ui {

class Button;
class Combo;
class Container;
class Edit;
class Label;
class Option;
class Progress;
class RichEdit;
class ScrollBar;

class Painter {
 public:
  // The default colour of a disabled control's text.
  static constexpr uint32_t kDisabledTextColour = 0xFFA7A6AAu;

  Painter(cairo_t* cr, const WindowMarkup& markup, ImageStore& images);

  // The whole window at width x height: cleared (transparent for "bktrans",
  // white otherwise), rounded by "roundcorner", then the tree. The tree must
  // be laid out for that size.
  void PaintWindow(Control* root, int width, int height);
  // One control and what it shows, within clip.
  void Paint(Control& control, const Rect& clip);

  TextPainter& Text() { return text_; }
  // Where a point x falls in an edit's text (character index), for the caret.
  std::size_t EditIndexAt(const Edit& edit, int x);

 private:
  void PaintOwn(Control& control);
  void PaintChildren(Container& container, const Rect& clip);
  void FillColour(uint32_t argb, const Rect& rect, bool withAlpha);
  void PaintBorder(const Control& control);
  void PaintLabelText(Label& label, const Rect& rect, uint32_t colour);
  uint32_t TextColour(const Control& control) const;
  void PaintButton(Button& button);
  void PaintCombo(Combo& combo);
  void PaintEdit(Edit& edit);
  void PaintProgress(Progress& progress);
  void PaintRichEdit(RichEdit& richEdit);
  void PaintScrollBar(ScrollBar& bar);

  cairo_t* cr_;
  const WindowMarkup& markup_;
  ImageStore& images_;
  TextPainter text_;
};

}  // namespace ui
