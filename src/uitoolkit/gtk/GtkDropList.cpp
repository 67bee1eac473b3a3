#include "uitoolkit/gtk/GtkDropList.h"

#include <algorithm>

#include "uitoolkit/Combo.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/ScrollBar.h"
#include "uitoolkit/WindowBase.h"
#include "uitoolkit/gtk/GtkNativeWindow.h"
#include "uitoolkit/gtk/Painter.h"
#include "uitoolkit/gtk/PicturePainter.h"

namespace ui {
namespace {

constexpr uint32_t kListBorder = 0xFFDCDAE6u;
constexpr uint32_t kListBackground = 0xFFFFFFFFu;
constexpr uint32_t kThumbColour = 0xFFC8C8D0u;

void Fill(cairo_t* cr, uint32_t argb, const Rect& r) {
  cairo_set_source_rgb(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                       (argb & 0xFF) / 255.0);
  cairo_rectangle(cr, r.left, r.top, Width(r), Height(r));
  cairo_fill(cr);
}

}  // namespace

GtkDropList::GtkDropList(GtkNativeWindow* owner, Combo* combo)
    : owner_(owner), combo_(combo), list_(*combo) {}

GtkDropList::~GtkDropList() {
  if (grabbedSeat_ != nullptr) gdk_seat_ungrab(grabbedSeat_);
  if (popup_ != nullptr) {
    g_signal_handlers_disconnect_by_data(popup_, this);
    gtk_widget_destroy(popup_);
  }
  combo_->SetDropped(false);
}

bool GtkDropList::Show() {
  const Size size = list_.GetSize();
  if (size.cx <= 0 || size.cy <= 0) return false;
  GtkWindow* parent = owner_->Widget();
  popup_ = gtk_window_new(GTK_WINDOW_POPUP);
  gtk_window_set_transient_for(GTK_WINDOW(popup_), parent);
  gtk_window_set_type_hint(GTK_WINDOW(popup_), GDK_WINDOW_TYPE_HINT_COMBO);
  gtk_widget_set_size_request(popup_, size.cx, size.cy + 2);
  gtk_widget_set_app_paintable(popup_, TRUE);
  gtk_widget_add_events(popup_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                    GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK | GDK_KEY_PRESS_MASK);
  g_signal_connect(popup_, "draw", G_CALLBACK(OnDraw), this);
  g_signal_connect(popup_, "button-press-event", G_CALLBACK(OnButtonPress), this);
  g_signal_connect(popup_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
  g_signal_connect(popup_, "motion-notify-event", G_CALLBACK(OnMotion), this);
  g_signal_connect(popup_, "scroll-event", G_CALLBACK(OnScroll), this);
  g_signal_connect(popup_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(popup_, "grab-broken-event", G_CALLBACK(OnGrabBroken), this);

  // Below the box, or above it when the monitor has no room below.
  const Rect& box = combo_->GetPos();
  int x = 0, y = 0;
  GdkWindow* parentWindow = gtk_widget_get_window(GTK_WIDGET(parent));
  if (parentWindow != nullptr) gdk_window_get_origin(parentWindow, &x, &y);
  GdkRectangle area{0, 0, 0, 0};
  GdkDisplay* display = gtk_widget_get_display(popup_);
  GdkMonitor* monitor = parentWindow ? gdk_display_get_monitor_at_window(display, parentWindow)
                                     : gdk_display_get_primary_monitor(display);
  if (monitor != nullptr) gdk_monitor_get_workarea(monitor, &area);
  int top = y + box.bottom;
  if (area.height > 0 && top + size.cy + 2 > area.y + area.height) top = y + box.top - size.cy - 2;
  gtk_window_move(GTK_WINDOW(popup_), x + box.left, std::max(area.y, top));
  gtk_widget_show_all(popup_);
  combo_->SetDropped(true);

  GdkWindow* gdkPopup = gtk_widget_get_window(popup_);
  GdkSeat* seat = gdk_display_get_default_seat(display);
  if (gdkPopup != nullptr && seat != nullptr &&
      gdk_seat_grab(seat, gdkPopup, GDK_SEAT_CAPABILITY_ALL, TRUE, nullptr, nullptr, nullptr,
                    nullptr) == GDK_GRAB_SUCCESS) {
    grabbedSeat_ = seat;
  }
  return true;
}

void GtkDropList::Finish(int index) {
  Combo* combo = combo_;
  const bool choose = list_.IsChoosable(index);
  owner_->CloseDropList();  // deletes this object
  if (choose) combo->SelectItem(index, true);
}

void GtkDropList::Paint(cairo_t* cr) {
  const Size size = list_.GetSize();
  Fill(cr, kListBorder, Rect{0, 0, size.cx, size.cy + 2});
  cairo_save(cr);
  cairo_translate(cr, 0, 1);
  cairo_rectangle(cr, 1, 0, size.cx - 2, size.cy);
  cairo_clip(cr);
  Fill(cr, kListBackground, Rect{0, 0, size.cx, size.cy});
  WindowBase* window = owner_->Owner();
  Painter painter(cr, window->GetMarkup(), window->GetImageStore());
  const ComboItemColours& colours = combo_->GetItemColours();
  for (std::size_t row = 0; row < list_.GetRows().size(); ++row) {
    const Rect r = list_.GetRowRect(row);
    if (r.bottom <= 0 || r.top >= size.cy) continue;
    const int index = list_.GetRows()[row];
    const Control* item = list_.GetItem(index);
    uint32_t text = colours.text.value_or(combo_->GetTextColor().value_or(0xFF000000u));
    std::optional<uint32_t> background;
    if (!item->IsEnabled()) {
      text = colours.disabledText.value_or(Painter::kDisabledTextColour);
      background = colours.disabledBk;
    } else if (index == list_.GetHot()) {
      text = colours.hotText.value_or(text);
      background = colours.hotBk;
    }
    if (index == combo_->GetCurSel() && item->IsEnabled()) {
      text = colours.selectedText.value_or(text);
      if (index != list_.GetHot() || !colours.hotBk) background = colours.selectedBk;
    }
    if (background) Fill(cr, *background, r);
    TextRequest request;
    request.text = item->GetText();
    request.font = item->GetFont() >= 0 ? item->GetFont() : combo_->GetItemFont();
    request.colour = text;
    const Rect& padding = combo_->GetTextPadding();
    painter.Text().Draw(request, Rect{r.left + padding.left, r.top, r.right - 8, r.bottom});
  }
  if (list_.HasScrollBar()) {
    const Rect thumb = list_.GetThumbRect();
    ScrollBar* bar = combo_->GetVerticalScrollBar();
    if (bar == nullptr ||
        !DrawPicture(cr, window->GetImageStore(), bar->GetThumbImages().normal, thumb)) {
      Fill(cr, kThumbColour, Deflate(thumb, Rect{2, 1, 1, 1}));
    }
  }
  cairo_restore(cr);
}

gboolean GtkDropList::OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  static_cast<GtkDropList*>(data)->Paint(cr);
  return TRUE;
}

gboolean GtkDropList::OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<GtkDropList*>(data);
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  const bool inside = event->x >= 0 && event->y >= 0 && event->x < width && event->y < height;
  if (!inside) {
    self->Finish(-1);  // a click elsewhere closes the list and is used up
    return TRUE;
  }
  self->pressedInside_ = true;
  return TRUE;
}

gboolean GtkDropList::OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<GtkDropList*>(data);
  if (!self->pressedInside_) return TRUE;
  self->pressedInside_ = false;
  const int index = self->list_.ItemAt(static_cast<int>(event->x), static_cast<int>(event->y) - 1);
  if (index >= 0 && self->list_.IsChoosable(index)) self->Finish(index);
  return TRUE;
}

gboolean GtkDropList::OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer data) {
  auto* self = static_cast<GtkDropList*>(data);
  const int index = self->list_.ItemAt(static_cast<int>(event->x), static_cast<int>(event->y) - 1);
  if (index >= 0 && index != self->list_.GetHot()) {
    self->list_.SetHot(index);
    gtk_widget_queue_draw(widget);
  }
  return TRUE;
}

gboolean GtkDropList::OnScroll(GtkWidget* widget, GdkEventScroll* event, gpointer data) {
  auto* self = static_cast<GtkDropList*>(data);
  if (event->direction == GDK_SCROLL_UP) self->list_.ScrollBy(-InputRouter::kWheelStep);
  if (event->direction == GDK_SCROLL_DOWN) self->list_.ScrollBy(InputRouter::kWheelStep);
  gtk_widget_queue_draw(widget);
  return TRUE;
}

gboolean GtkDropList::OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<GtkDropList*>(data);
  KeyEvent key;
  switch (event->keyval) {
    case GDK_KEY_Up:
      key.key = Key::Up;
      break;
    case GDK_KEY_Down:
      key.key = Key::Down;
      break;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      key.key = Key::Enter;
      break;
    case GDK_KEY_Escape:
      key.key = Key::Escape;
      break;
    default:
      return TRUE;
  }
  switch (self->list_.HandleKey(key)) {
    case DropList::KeyResult::Close:
      self->Finish(key.key == Key::Enter ? self->list_.GetHot() : -1);
      return TRUE;
    case DropList::KeyResult::Moved:
      gtk_widget_queue_draw(widget);
      return TRUE;
    case DropList::KeyResult::Ignored:
      return TRUE;
  }
  return TRUE;
}

gboolean GtkDropList::OnGrabBroken(GtkWidget*, GdkEvent*, gpointer data) {
  auto* self = static_cast<GtkDropList*>(data);
  self->grabbedSeat_ = nullptr;
  self->Finish(-1);
  return TRUE;
}

}  // namespace ui
