#include "uitoolkit/gtk/TextPainter.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "platform/Encoding.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/TextLanguage.h"
#include "uitoolkit/TextMarkup.h"
#include "uitoolkit/gtk/FontSetup.h"

namespace ui {
namespace {

constexpr uint32_t kDefaultLinkColour = 0xFF1A73E8u;

const FontSpec& FallbackFont() {
  static const FontSpec font{L"Microsoft YaHei", 12, false, false, false, true};
  return font;
}

guint16 Channel(uint32_t argb, int shift) {
  return static_cast<guint16>(((argb >> shift) & 0xFFu) * 257u);
}

void Insert(PangoAttrList* list, PangoAttribute* attribute, std::size_t start, std::size_t end) {
  attribute->start_index = static_cast<guint>(start);
  attribute->end_index = static_cast<guint>(end);
  pango_attr_list_insert(list, attribute);
}

PangoFontDescription* Describe(const FontSpec& font, double scale) {
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, platform::ToUtf8(font.name).c_str());
  // Shrinking stops at the smallest readable size; a font already smaller stays as it is.
  const double pixels =
      std::max<double>(std::min(font.size, TextPainter::kMinPixelSize), font.size * scale);
  pango_font_description_set_absolute_size(description, pixels * PANGO_SCALE);
  pango_font_description_set_weight(description,
                                    font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description,
                                   font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return description;
}

// The texts of the markup with one newline per break; a paragraph mark at
// the start or the end of the text, or beside another break, adds none.
struct Flattened {
  std::string utf8;
  struct Span {
    std::size_t start;
    std::size_t end;
    const TextRun* run;
  };
  std::vector<Span> spans;
};

Flattened Flatten(const std::vector<TextRun>& runs) {
  Flattened out;
  bool pendingBreak = false;
  for (const TextRun& run : runs) {
    if (run.kind == TextRun::Kind::LineBreak) {
      out.utf8 += '\n';
      pendingBreak = false;
      continue;
    }
    if (run.kind != TextRun::Kind::Text) {
      pendingBreak = !out.utf8.empty() && out.utf8.back() != '\n';
      continue;
    }
    if (pendingBreak) out.utf8 += '\n';
    pendingBreak = false;
    const std::size_t start = out.utf8.size();
    out.utf8 += platform::ToUtf8(run.text);
    out.spans.push_back(Flattened::Span{start, out.utf8.size(), &run});
  }
  return out;
}

void SetLanguage(PangoLayout* layout, const std::wstring& text) {
  PangoContext* context = pango_layout_get_context(layout);
  pango_context_set_language(context, pango_language_from_string(LanguageForText(text).c_str()));
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_layout_context_changed(layout);
}

PangoAlignment Alignment(TextAlign align) {
  if (align == TextAlign::Center) return PANGO_ALIGN_CENTER;
  if (align == TextAlign::Right) return PANGO_ALIGN_RIGHT;
  return PANGO_ALIGN_LEFT;
}

void LogicalSize(PangoLayout* layout, int* width, int* height) {
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  *width = logical.width;
  *height = logical.height;
}

}  // namespace

TextPainter::TextPainter(cairo_t* cr, const std::vector<FontSpec>& fonts,
                         const WindowAttributes& window)
    : cr_(cr), fonts_(fonts), window_(window) {
  EnsureFontSetup();
}

const FontSpec& TextPainter::ResolveFont(int font) const {
  if (font >= 0 && static_cast<std::size_t>(font) < fonts_.size()) {
    return fonts_[static_cast<std::size_t>(font)];
  }
  for (const FontSpec& candidate : fonts_) {
    if (candidate.isDefault) return candidate;
  }
  return fonts_.empty() ? FallbackFont() : fonts_.front();
}

LayoutPtr TextPainter::Build(const TextRequest& request, double scale,
                             std::vector<int>* linkOfByte) {
  std::vector<TextRun> runs;
  if (request.markup) {
    runs = ParseTextMarkup(request.text);
  } else if (!request.text.empty()) {
    runs.push_back(TextRun{});
    runs.back().text = request.text;
  }
  const Flattened flat = Flatten(runs);
  LayoutPtr layout(pango_cairo_create_layout(cr_));
  SetLanguage(layout.get(), request.text);
  pango_layout_set_text(layout.get(), flat.utf8.c_str(), static_cast<int>(flat.utf8.size()));
  PangoAttrList* list = pango_attr_list_new();
  linkOfByte->assign(flat.utf8.size(), -1);
  for (const Flattened::Span& span : flat.spans) {
    const TextRun& run = *span.run;
    const FontSpec& font = ResolveFont(run.font >= 0 ? run.font : request.font);
    PangoFontDescription* description = Describe(font, scale);
    Insert(list, pango_attr_font_desc_new(description), span.start, span.end);
    pango_font_description_free(description);
    uint32_t colour = run.hasColour ? run.colour : request.colour;
    const bool hot = run.link >= 0 && run.link == request.hotLink;
    if (run.link >= 0) {
      colour = window_.hasLinkFontColor ? window_.linkFontColor : kDefaultLinkColour;
      if (hot && window_.hasLinkHoverFontColor) colour = window_.linkHoverFontColor;
      std::fill(linkOfByte->begin() + static_cast<std::ptrdiff_t>(span.start),
                linkOfByte->begin() + static_cast<std::ptrdiff_t>(span.end), run.link);
    }
    Insert(list,
           pango_attr_foreground_new(Channel(colour, 16), Channel(colour, 8), Channel(colour, 0)),
           span.start, span.end);
    if (run.underline || font.underline || hot) {
      Insert(list, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), span.start, span.end);
    }
  }
  // The control's font for the empty text too, so that its height is right.
  PangoFontDescription* base = Describe(ResolveFont(request.font), scale);
  pango_layout_set_font_description(layout.get(), base);
  pango_font_description_free(base);
  pango_layout_set_attributes(layout.get(), list);
  pango_attr_list_unref(list);
  // The text engine mirrors the alignment of a right-to-left paragraph. The
  // skin's layout is not mirrored, so a one-line text keeps its side (beside
  // the check box, above the field it names); a wrapped paragraph keeps the
  // engine's choice, which gives it a straight edge on its reading side.
  TextAlign align = request.align;
  if (!request.multiLine && pango_layout_get_direction(layout.get(), 0) == PANGO_DIRECTION_RTL) {
    if (align == TextAlign::Left) {
      align = TextAlign::Right;
    } else if (align == TextAlign::Right) {
      align = TextAlign::Left;
    }
  }
  pango_layout_set_alignment(layout.get(), Alignment(align));
  return layout;
}

void TextPainter::Fit(const TextRequest& request, const Rect& rect, LayoutPtr* layout,
                      std::vector<int>* linkOfByte, TextResult* result) {
  const int width = Width(rect);
  const int height = Height(rect);
  const double minScale = request.multiLine ? kMinMultiLineScale : kMinSingleLineScale;
  int w = 0, h = 0;
  for (double scale = 1.0;; scale -= 0.05) {
    *layout = Build(request, scale, linkOfByte);
    if (request.multiLine) {
      pango_layout_set_width(layout->get(), width * PANGO_SCALE);
      pango_layout_set_wrap(layout->get(), PANGO_WRAP_WORD_CHAR);
    }
    LogicalSize(layout->get(), &w, &h);
    const bool fits = w <= width && (h <= height || (!request.multiLine && h <= height + 2));
    if (fits || !request.fit || request.endEllipsis || scale - 0.05 < minScale - 1e-9) break;
    result->shrunk = true;
  }
  pango_layout_set_width(layout->get(), width * PANGO_SCALE);
  const bool tooWide = w > width;
  const bool tooHigh = request.multiLine ? h > height : h > height + 2;
  if (request.fit && (tooWide || tooHigh)) {
    pango_layout_set_ellipsize(layout->get(), PANGO_ELLIPSIZE_END);
    if (tooHigh) pango_layout_set_height(layout->get(), height * PANGO_SCALE);
    result->overflowed = !request.endEllipsis || tooHigh;
  }
}

TextResult TextPainter::Draw(const TextRequest& request, const Rect& rect) {
  TextResult result;
  if (request.text.empty() || IsEmptyRect(rect)) return result;
  LayoutPtr layout;
  std::vector<int> linkOfByte;
  Fit(request, rect, &layout, &linkOfByte, &result);
  int w = 0, h = 0;
  LogicalSize(layout.get(), &w, &h);
  const int top = request.multiLine ? rect.top : rect.top + (Height(rect) - h) / 2;
  cairo_save(cr_);
  cairo_move_to(cr_, rect.left, top);
  pango_cairo_show_layout(cr_, layout.get());
  cairo_restore(cr_);
  result.height = h;
  result.links = LinkAreas(layout.get(), linkOfByte, rect.left, top);
  return result;
}

int TextPainter::MeasureHeight(const TextRequest& request, int width) {
  std::vector<int> linkOfByte;
  LayoutPtr layout = Build(request, 1.0, &linkOfByte);
  if (request.multiLine) {
    pango_layout_set_width(layout.get(), std::max(1, width) * PANGO_SCALE);
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
  }
  int w = 0, h = 0;
  LogicalSize(layout.get(), &w, &h);
  return h;
}

LayoutPtr TextPainter::PlainLayout(const std::wstring& text, int font) {
  LayoutPtr layout(pango_cairo_create_layout(cr_));
  SetLanguage(layout.get(), text);
  const std::string utf8 = platform::ToUtf8(text);
  pango_layout_set_text(layout.get(), utf8.c_str(), static_cast<int>(utf8.size()));
  PangoFontDescription* description = Describe(ResolveFont(font), 1.0);
  pango_layout_set_font_description(layout.get(), description);
  pango_font_description_free(description);
  return layout;
}

std::vector<LinkArea> TextPainter::LinkAreas(PangoLayout* layout,
                                             const std::vector<int>& linkOfByte, int originX,
                                             int originY) {
  std::vector<LinkArea> areas;
  PangoLayoutIter* iter = pango_layout_get_iter(layout);
  do {
    PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter);
    if (run == nullptr || run->item->offset < 0) continue;
    const auto offset = static_cast<std::size_t>(run->item->offset);
    if (offset >= linkOfByte.size() || linkOfByte[offset] < 0) continue;
    PangoRectangle logical;
    pango_layout_iter_get_run_extents(iter, nullptr, &logical);
    pango_extents_to_pixels(&logical, nullptr);
    areas.push_back(LinkArea{linkOfByte[offset], Rect{originX + logical.x, originY + logical.y,
                                                      originX + logical.x + logical.width,
                                                      originY + logical.y + logical.height}});
  } while (pango_layout_iter_next_run(iter));
  pango_layout_iter_free(iter);
  return areas;
}

}  // namespace ui
