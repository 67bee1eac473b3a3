#include "uitoolkit/gtk/Painter.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "platform/Encoding.h"
#include "uitoolkit/Combo.h"
#include "uitoolkit/Edit.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/Option.h"
#include "uitoolkit/Progress.h"
#include "uitoolkit/RichEdit.h"
#include "uitoolkit/ScrollBar.h"
#include "uitoolkit/TextOverflow.h"
#include "uitoolkit/gtk/PicturePainter.h"

namespace ui {
namespace {

constexpr uint32_t kSelectionColour = 0xFF3D7BE6u;
constexpr uint32_t kFallbackThumbColour = 0xFFC8C8D0u;

double Unit(uint32_t argb, int shift) { return ((argb >> shift) & 0xFFu) / 255.0; }

void SetColour(cairo_t* cr, uint32_t argb, bool withAlpha) {
  cairo_set_source_rgba(cr, Unit(argb, 16), Unit(argb, 8), Unit(argb, 0),
                        withAlpha ? Unit(argb, 24) : 1.0);
}

void Clip(cairo_t* cr, const Rect& r) {
  cairo_rectangle(cr, r.left, r.top, Width(r), Height(r));
  cairo_clip(cr);
}

// Character index of a byte offset into UTF-8 text.
std::size_t CharIndex(const std::string& utf8, int byte) {
  return static_cast<std::size_t>(g_utf8_pointer_to_offset(utf8.c_str(), utf8.c_str() + byte));
}

int ByteIndex(const std::string& utf8, std::size_t chars) {
  return static_cast<int>(g_utf8_offset_to_pointer(utf8.c_str(), static_cast<glong>(chars)) -
                          utf8.c_str());
}

}  // namespace

Painter::Painter(cairo_t* cr, const WindowMarkup& markup, ImageStore& images)
    : cr_(cr), markup_(markup), images_(images), text_(cr, markup.fonts, markup.window) {}

void Painter::PaintWindow(Control* root, int width, int height) {
  const WindowAttributes& window = markup_.window;
  cairo_save(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  if (window.bkTrans) {
    cairo_set_source_rgba(cr_, 0, 0, 0, 0);
  } else {
    cairo_set_source_rgb(cr_, 1, 1, 1);
  }
  cairo_paint(cr_);
  cairo_restore(cr_);
  cairo_save(cr_);
  if (window.roundCorner.cx > 0 && window.roundCorner.cy > 0 && !window.bkTrans) {
    // Outside the rounded outline stays transparent.
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr_, 0, 0, 0, 0);
    cairo_paint(cr_);
    cairo_restore(cr_);
    const double rx = window.roundCorner.cx / 2.0;
    const double ry = window.roundCorner.cy / 2.0;
    cairo_new_path(cr_);
    cairo_save(cr_);
    cairo_translate(cr_, width - rx, ry);
    cairo_scale(cr_, rx, ry);
    cairo_arc(cr_, 0, 0, 1, -M_PI / 2, 0);
    cairo_restore(cr_);
    cairo_save(cr_);
    cairo_translate(cr_, width - rx, height - ry);
    cairo_scale(cr_, rx, ry);
    cairo_arc(cr_, 0, 0, 1, 0, M_PI / 2);
    cairo_restore(cr_);
    cairo_save(cr_);
    cairo_translate(cr_, rx, height - ry);
    cairo_scale(cr_, rx, ry);
    cairo_arc(cr_, 0, 0, 1, M_PI / 2, M_PI);
    cairo_restore(cr_);
    cairo_save(cr_);
    cairo_translate(cr_, rx, ry);
    cairo_scale(cr_, rx, ry);
    cairo_arc(cr_, 0, 0, 1, M_PI, 3 * M_PI / 2);
    cairo_restore(cr_);
    cairo_close_path(cr_);
    cairo_clip(cr_);
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
  }
  if (root != nullptr) Paint(*root, Rect{0, 0, width, height});
  cairo_restore(cr_);
}

void Painter::Paint(Control& control, const Rect& clip) {
  if (!control.IsVisible()) return;
  const Rect visible = Intersect(control.GetPos(), clip);
  if (IsEmptyRect(visible)) return;
  cairo_save(cr_);
  Clip(cr_, visible);
  PaintOwn(control);
  if (Container* container = control.AsContainer()) {
    if (container->HasInlineChildren()) PaintChildren(*container, visible);
    ScrollBar* bar = container->GetVerticalScrollBar();
    if (bar != nullptr && bar->IsActive() && dynamic_cast<Combo*>(container) == nullptr) {
      PaintScrollBar(*bar);
    }
  }
  cairo_restore(cr_);
}

void Painter::PaintChildren(Container& container, const Rect& clip) {
  const Rect client = Intersect(container.GetClientRect(), clip);
  for (std::size_t i = 0; i < container.GetCount(); ++i) {
    if (!container.ShowsChild(i)) continue;
    Control& child = *container.GetItemAt(i);
    Paint(child, child.IsFloat() ? clip : client);
  }
}

void Painter::FillColour(uint32_t argb, const Rect& rect, bool withAlpha) {
  SetColour(cr_, argb, withAlpha);
  cairo_rectangle(cr_, rect.left, rect.top, Width(rect), Height(rect));
  cairo_fill(cr_);
}

void Painter::PaintOwn(Control& control) {
  const Rect& pos = control.GetPos();
  // A background colour with alpha 0 (a six-digit value) is no background.
  if ((control.GetBkColor() >> 24) != 0) FillColour(control.GetBkColor(), pos, true);
  DrawPicture(cr_, images_, control.GetBkImage(), pos);
  if (auto* progress = dynamic_cast<Progress*>(&control)) {
    PaintProgress(*progress);
  } else if (auto* button = dynamic_cast<Button*>(&control)) {
    PaintButton(*button);
  } else if (auto* combo = dynamic_cast<Combo*>(&control)) {
    PaintCombo(*combo);
  } else if (auto* edit = dynamic_cast<Edit*>(&control)) {
    PaintEdit(*edit);
  } else if (auto* richEdit = dynamic_cast<RichEdit*>(&control)) {
    PaintRichEdit(*richEdit);
  } else if (auto* label = dynamic_cast<Label*>(&control)) {
    PaintLabelText(*label, Deflate(pos, label->GetTextPadding()), TextColour(*label));
  }
  PaintBorder(control);
}

void Painter::PaintBorder(const Control& control) {
  const Rect& b = control.GetBorderSize();
  if (b.left <= 0 && b.top <= 0 && b.right <= 0 && b.bottom <= 0) return;
  const Rect& r = control.GetPos();
  // Border colours are drawn opaque, whatever alpha the markup wrote.
  const uint32_t colour = control.GetBorderColor();
  if (b.left > 0) FillColour(colour, Rect{r.left, r.top, r.left + b.left, r.bottom}, false);
  if (b.right > 0) FillColour(colour, Rect{r.right - b.right, r.top, r.right, r.bottom}, false);
  if (b.top > 0) FillColour(colour, Rect{r.left, r.top, r.right, r.top + b.top}, false);
  if (b.bottom > 0) FillColour(colour, Rect{r.left, r.bottom - b.bottom, r.right, r.bottom}, false);
}

uint32_t Painter::TextColour(const Control& control) const {
  if (!control.IsEnabled()) {
    return control.GetDisabledTextColor().value_or(kDisabledTextColour);
  }
  return control.GetTextColor().value_or(0xFF000000u);
}

void Painter::PaintLabelText(Label& label, const Rect& rect, uint32_t colour) {
  TextRequest request;
  request.text = label.GetText();
  request.markup = label.IsShowHtml();
  request.multiLine = label.IsMultiLine();
  request.endEllipsis = label.IsEndEllipsis();
  request.font = label.GetFont();
  request.colour = colour;
  request.align = label.GetAlign();
  request.hotLink = label.GetHotLink();
  // A scrolling view needs to know where a wrapped text really ends.
  if (request.multiLine) label.SetTextHeight(text_.MeasureHeight(request, Width(rect)));
  TextResult result = text_.Draw(request, rect);
  label.SetLinkAreas(std::move(result.links));
  if (result.overflowed || result.shrunk) {
    ReportTextOverflow(label, label.GetText(), result.overflowed);
  }
}

void Painter::PaintButton(Button& button) {
  const ControlState state = button.GetState();
  uint32_t colour = TextColour(button);
  auto* option = dynamic_cast<Option*>(&button);
  if (option != nullptr && option->IsSelected() && !option->GetSelectedImage().IsEmpty()) {
    DrawPicture(cr_, images_, option->GetSelectedImage(), button.GetPos());
  } else {
    DrawPicture(cr_, images_, button.GetImages().ForState(state), button.GetPos());
  }
  if (state == ControlState::Pushed && button.GetPushedTextColor()) {
    colour = *button.GetPushedTextColor();
  } else if (state == ControlState::Hot && button.GetHotTextColor()) {
    colour = *button.GetHotTextColor();
  }
  if (option != nullptr && option->IsSelected() && option->GetSelectedTextColor()) {
    colour = *option->GetSelectedTextColor();
  }
  PaintLabelText(button, Deflate(button.GetPos(), button.GetTextPadding()), colour);
}

void Painter::PaintCombo(Combo& combo) {
  ControlState state = ControlState::Normal;
  if (!combo.IsEnabled()) {
    state = ControlState::Disabled;
  } else if (combo.IsDropped() || combo.IsPushed()) {
    state = ControlState::Pushed;
  } else if (combo.IsHot()) {
    state = ControlState::Hot;
  }
  DrawPicture(cr_, images_, combo.GetImages().ForState(state), combo.GetPos());
  TextRequest request;
  request.text = combo.GetSelectedText();
  request.font = combo.GetFont();
  request.colour = TextColour(combo);
  request.align = combo.GetAlign();
  TextResult result = text_.Draw(request, Deflate(combo.GetPos(), combo.GetTextPadding()));
  if (result.overflowed || result.shrunk) {
    ReportTextOverflow(combo, request.text, result.overflowed);
  }
}

std::size_t Painter::EditIndexAt(const Edit& edit, int x) {
  const std::wstring& text = edit.GetBuffer().GetText();
  LayoutPtr layout = text_.PlainLayout(text, edit.GetFont());
  const Rect area = Deflate(edit.GetPos(), edit.GetTextPadding());
  int index = 0, trailing = 0;
  pango_layout_xy_to_index(layout.get(), (x - area.left + edit.GetScrollX()) * PANGO_SCALE, 0,
                           &index, &trailing);
  const std::string utf8 = platform::ToUtf8(text);
  return std::min(text.size(), CharIndex(utf8, index) + static_cast<std::size_t>(trailing));
}

void Painter::PaintEdit(Edit& edit) {
  const EditBuffer& buffer = edit.GetBuffer();
  std::wstring shown = buffer.GetText();
  const std::size_t caretChars = buffer.GetCaret();
  // What the input method is composing shows at the caret, underlined.
  shown.insert(caretChars, edit.GetPreedit());
  const std::string utf8 = platform::ToUtf8(shown);
  LayoutPtr layout = text_.PlainLayout(shown, edit.GetFont());
  if (!edit.GetPreedit().empty()) {
    PangoAttrList* list = pango_attr_list_new();
    PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    underline->start_index = static_cast<guint>(ByteIndex(utf8, caretChars));
    underline->end_index =
        static_cast<guint>(ByteIndex(utf8, caretChars + edit.GetPreedit().size()));
    pango_attr_list_insert(list, underline);
    pango_layout_set_attributes(layout.get(), list);
    pango_attr_list_unref(list);
  }
  const Rect area = Deflate(edit.GetPos(), edit.GetTextPadding());
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
  PangoRectangle caret;
  pango_layout_get_cursor_pos(layout.get(), ByteIndex(utf8, caretChars + edit.GetPreeditCursor()),
                              &caret, nullptr);
  const int caretX = PANGO_PIXELS(caret.x);
  // Keep the caret inside the box, moving the text sideways.
  int scroll = edit.GetScrollX();
  if (caretX - scroll > Width(area) - 1) scroll = caretX - Width(area) + 1;
  if (caretX - scroll < 0) scroll = caretX;
  scroll = std::max(0, std::min(scroll, std::max(0, logical.width - Width(area) + 1)));
  edit.SetScrollX(scroll);
  const int top = area.top + (Height(area) - logical.height) / 2;
  const int left = area.left - scroll;
  cairo_save(cr_);
  Clip(cr_, area);
  if (edit.IsFocused() && buffer.HasSelection()) {
    const auto range = buffer.GetSelection();
    const int bounds[2] = {ByteIndex(utf8, range.first), ByteIndex(utf8, range.second)};
    int* ranges = nullptr;
    int count = 0;
    pango_layout_line_get_x_ranges(pango_layout_get_line_readonly(layout.get(), 0), bounds[0],
                                   bounds[1], &ranges, &count);
    for (int i = 0; i < count; ++i) {
      const int x0 = left + PANGO_PIXELS(ranges[2 * i]);
      const int x1 = left + PANGO_PIXELS(ranges[2 * i + 1]);
      FillColour(kSelectionColour & 0x40FFFFFFu, Rect{x0, top, x1, top + logical.height}, true);
    }
    g_free(ranges);
  }
  SetColour(cr_, TextColour(edit), false);
  cairo_move_to(cr_, left, top);
  pango_cairo_show_layout(cr_, layout.get());
  if (edit.IsFocused() && edit.IsCaretShown()) {
    FillColour(TextColour(edit), Rect{left + caretX, top, left + caretX + 1, top + logical.height},
               false);
  }
  cairo_restore(cr_);
}

void Painter::PaintProgress(Progress& progress) {
  const Rect& pos = progress.GetPos();
  Rect filled = pos;
  if (progress.IsHorizontal()) {
    filled.right = pos.left + progress.FilledLength(Width(pos));
  } else {
    filled.top = pos.bottom - progress.FilledLength(Height(pos));
  }
  if (!IsEmptyRect(filled)) {
    // The fore picture's descriptor is relative to the control; its place is the filled part.
    PictureDescriptor fore = progress.GetForeImage();
    if (!fore.hasDest) {
      fore.hasDest = true;
      fore.dest = Offset(filled, -pos.left, -pos.top);
    }
    DrawPicture(cr_, images_, fore, pos);
  }
  PaintLabelText(progress, Deflate(pos, progress.GetTextPadding()), TextColour(progress));
}

void Painter::PaintRichEdit(RichEdit& richEdit) {
  TextRequest request;
  request.text = richEdit.GetText();
  request.multiLine = true;
  request.fit = false;
  request.font = richEdit.GetFont();
  request.colour = TextColour(richEdit);
  request.align = richEdit.GetAlign();
  // Measuring may show or hide the scroll bar, which changes the width: twice at most.
  for (int pass = 0; pass < 2; ++pass) {
    const Rect area = Deflate(richEdit.GetClientRect(), richEdit.GetTextPadding());
    if (!richEdit.SetContentHeight(text_.MeasureHeight(request, Width(area)))) break;
  }
  const Rect area = Deflate(richEdit.GetClientRect(), richEdit.GetTextPadding());
  cairo_save(cr_);
  Clip(cr_, richEdit.GetClientRect());
  Rect shifted = Offset(area, 0, -richEdit.GetScrollY());
  shifted.bottom = shifted.top + std::max(Height(area), richEdit.GetContentHeight());
  text_.Draw(request, shifted);
  cairo_restore(cr_);
}

void Painter::PaintScrollBar(ScrollBar& bar) {
  const Rect& pos = bar.GetPos();
  DrawPicture(cr_, images_, bar.GetBackImages().ForState(ControlState::Normal), pos);
  ControlState state = ControlState::Normal;
  if (bar.IsDragging()) {
    state = ControlState::Pushed;
  } else if (bar.IsHot()) {
    state = ControlState::Hot;
  }
  const Rect thumb = bar.GetThumbRect();
  if (!DrawPicture(cr_, images_, bar.GetThumbImages().ForState(state), thumb)) {
    const Rect inner = Deflate(thumb, Rect{1, 1, 1, 1});
    FillColour(kFallbackThumbColour, inner, false);
  }
}

}  // namespace ui
