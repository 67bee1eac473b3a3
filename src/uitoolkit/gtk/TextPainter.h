// Lays out and draws the texts of controls with pango on a cairo context:
// the window's numbered fonts (FontSpec, mapped by FontSetup), the brace
// markup of TextMarkup.h with link colours from the window attributes, both
// text directions (a paragraph runs right-to-left when its first strong
// character does; a one-line text stays on the side the markup aligns it
// to, as the controls around it are not mirrored, while a wrapped paragraph
// aligns to its reading side), and the fitting rule:
// - a text that does not fit its rectangle is first drawn smaller, down to
//   kMinSingleLineScale (one line) or kMinMultiLineScale (wrapped text) of
//   its size and never below kMinPixelSize; what still does not fit is cut
//   with "..." at the end and reported (TextOverflow.h), unless the control
//   asked for the ellipsis itself ("endellipsis");
// - one-line texts are centred vertically, wrapped texts start at the top.
// Texts are drawn with their colour's alpha ignored.
// UI thread (or the thread that owns the cairo context); no state between calls.
#pragma once
#include <cairo.h>
#include <pango/pango.h>

#include <memory>
#include <string>
#include <vector>

#include "uitoolkit/Control.h"
#include "uitoolkit/Label.h"
#include "uitoolkit/WindowMarkup.h"

namespace ui {

struct TextRequest {
  std::wstring text;
  bool markup = false;     // brace markup ("showhtml")
  bool multiLine = false;  // wraps at the rectangle's width
  bool endEllipsis = false;
  bool fit = true;  // false: full size, nothing cut (scrolling texts)
  int font = -1;
  uint32_t colour = 0xFF000000u;
  TextAlign align = TextAlign::Left;
  int hotLink = -1;
};

struct TextResult {
  std::vector<LinkArea> links;  // in the cairo context's coordinates
  int height = 0;               // of the laid-out text
  bool overflowed = false;      // cut although the control did not ask for it
  bool shrunk = false;          // drawn smaller than its font to fit
};

struct LayoutUnref {
  void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutUnref>;

class TextPainter {
 public:
  static constexpr double kMinSingleLineScale = 0.75;
  static constexpr double kMinMultiLineScale = 0.8;
  static constexpr int kMinPixelSize = 9;

  TextPainter(cairo_t* cr, const std::vector<FontSpec>& fonts, const WindowAttributes& window);

  TextResult Draw(const TextRequest& request, const Rect& rect);
  // The height the text needs at width (wrapped when multiLine), full size.
  int MeasureHeight(const TextRequest& request, int width);
  // A one-line layout of plain text in a font, for edits (caret positions).
  LayoutPtr PlainLayout(const std::wstring& text, int font);
  const FontSpec& ResolveFont(int font) const;

 private:
  LayoutPtr Build(const TextRequest& request, double scale, std::vector<int>* linkOfByte);
  void Fit(const TextRequest& request, const Rect& rect, LayoutPtr* layout,
           std::vector<int>* linkOfByte, TextResult* result);
  std::vector<LinkArea> LinkAreas(PangoLayout* layout, const std::vector<int>& linkOfByte,
                                  int originX, int originY);

  cairo_t* cr_;
  const std::vector<FontSpec>& fonts_;
  const WindowAttributes& window_;
};

}  // namespace ui
