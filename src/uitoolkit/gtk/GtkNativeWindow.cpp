#include "uitoolkit/gtk/GtkNativeWindow.h"

#include "platform/Encoding.h"
#include "uitoolkit/WindowBase.h"

namespace ui {

namespace {

struct TimerContext {
  WindowBase* owner;
  uint32_t id;
};

gboolean OnTimer(gpointer data) {
  auto* context = static_cast<TimerContext*>(data);
  context->owner->HandleBackendMessage(kMsgTimer, context->id, 0);
  return G_SOURCE_CONTINUE;
}

void FreeTimerContext(gpointer data) { delete static_cast<TimerContext*>(data); }

}  // namespace

GtkNativeWindow::GtkNativeWindow(WindowBase* owner) : owner_(owner) {}

GtkNativeWindow::~GtkNativeWindow() {
  KillAllTimers();
  if (window_) {
    GtkWidget* window = window_;
    window_ = nullptr;
    g_signal_handlers_disconnect_by_data(window, this);
    gtk_widget_destroy(window);
  }
}

bool GtkNativeWindow::Create(const std::wstring& title, uint32_t style, int x, int y, int width,
                             int height, NativeWindow* parent) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (!window_) return false;
  gtk_window_set_title(GTK_WINDOW(window_), platform::ToUtf8(title).c_str());
  // A pop-up window draws its own caption from the skin.
  if (style & kStylePopup) gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window_), width, height);
  gtk_window_move(GTK_WINDOW(window_), x, y);
  if (auto* gtkParent = static_cast<GtkNativeWindow*>(parent)) {
    gtk_window_set_transient_for(GTK_WINDOW(window_), gtkParent->Widget());
  }

  canvas_ = gtk_drawing_area_new();
  gtk_widget_add_events(canvas_, GDK_BUTTON_PRESS_MASK);
  gtk_container_add(GTK_CONTAINER(window_), canvas_);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
  g_signal_connect(canvas_, "draw", G_CALLBACK(OnDraw), this);
  g_signal_connect(canvas_, "button-press-event", G_CALLBACK(OnButtonPress), this);
  return true;
}

void GtkNativeWindow::Destroy() {
  if (window_) gtk_widget_destroy(window_);
}

void GtkNativeWindow::Show(bool show, bool takeFocus) {
  if (!window_) return;
  if (!show) {
    gtk_widget_hide(window_);
    return;
  }
  gtk_widget_show_all(window_);
  if (takeFocus) gtk_window_present(GTK_WINDOW(window_));
}

void GtkNativeWindow::Present() {
  if (!window_) return;
  gtk_window_deiconify(GTK_WINDOW(window_));
  gtk_window_present(GTK_WINDOW(window_));
}

void GtkNativeWindow::Minimize() {
  if (window_) gtk_window_iconify(GTK_WINDOW(window_));
}

void GtkNativeWindow::Center() {
  if (!window_) return;
  GdkDisplay* display = gtk_widget_get_display(window_);
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return;
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  int width = 0, height = 0;
  gtk_window_get_size(GTK_WINDOW(window_), &width, &height);
  gtk_window_move(GTK_WINDOW(window_), area.x + (area.width - width) / 2,
                  area.y + (area.height - height) / 2);
}

void GtkNativeWindow::Resize(int width, int height) {
  if (window_) gtk_window_resize(GTK_WINDOW(window_), width, height);
}

void GtkNativeWindow::GetRect(int* x, int* y, int* width, int* height) const {
  *x = *y = *width = *height = 0;
  if (!window_) return;
  gtk_window_get_position(GTK_WINDOW(window_), x, y);
  gtk_window_get_size(GTK_WINDOW(window_), width, height);
}

void GtkNativeWindow::Invalidate() {
  if (canvas_) gtk_widget_queue_draw(canvas_);
}

bool GtkNativeWindow::SetTimer(uint32_t id, uint32_t elapseMs) {
  if (!window_) return false;
  KillTimer(id);
  timers_[id] = g_timeout_add_full(G_PRIORITY_DEFAULT, elapseMs, OnTimer,
                                   new TimerContext{owner_, id}, FreeTimerContext);
  return true;
}

void GtkNativeWindow::KillTimer(uint32_t id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  g_source_remove(it->second);
  timers_.erase(it);
}

void GtkNativeWindow::KillAllTimers() {
  for (const auto& timer : timers_) g_source_remove(timer.second);
  timers_.clear();
}

gboolean GtkNativeWindow::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
  // The window decides, as with WM_CLOSE; GTK must not destroy on its own.
  static_cast<GtkNativeWindow*>(self)->owner_->HandleBackendMessage(kMsgClose, 0, 0);
  return TRUE;
}

void GtkNativeWindow::OnDestroy(GtkWidget*, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  self->KillAllTimers();
  self->window_ = nullptr;
  self->canvas_ = nullptr;
  WindowBase* owner = self->owner_;
  owner->OnNativeDestroyed();  // deletes self: nothing may follow
}

gboolean GtkNativeWindow::OnDraw(GtkWidget* widget, cairo_t* cr, gpointer) {
  // The skin's controls are not drawn yet: a plain face with a hairline border.
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, 0.5, 0.5, width - 1.0, height - 1.0);
  cairo_stroke(cr);
  return TRUE;
}

gboolean GtkNativeWindow::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  if (event->button != 1 || event->type != GDK_BUTTON_PRESS || !self->window_) return FALSE;
  const Rect& caption = self->owner_->GetMarkup().window.caption;
  // The caption band runs along the top edge, "bottom" of the rectangle deep.
  if (event->y < caption.bottom) {
    gtk_window_begin_move_drag(GTK_WINDOW(self->window_), static_cast<int>(event->button),
                               static_cast<int>(event->x_root), static_cast<int>(event->y_root),
                               event->time);
    return TRUE;
  }
  return FALSE;
}

}  // namespace ui
