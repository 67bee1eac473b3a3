#include "uitoolkit/gtk/GtkNativeWindow.h"

#include <algorithm>

#include "platform/Encoding.h"
#include "uitoolkit/Edit.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/HitTest.h"
#include "uitoolkit/WindowBase.h"
#include "uitoolkit/gtk/GtkDropList.h"
#include "uitoolkit/gtk/Painter.h"

namespace ui {

namespace {

constexpr guint kCaretBlinkMs = 530;

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

KeyEvent TranslateKey(const GdkEventKey* event) {
  KeyEvent key;
  key.shift = (event->state & GDK_SHIFT_MASK) != 0;
  key.control = (event->state & GDK_CONTROL_MASK) != 0;
  switch (gdk_keyval_to_lower(event->keyval)) {
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      key.key = Key::Left;
      break;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      key.key = Key::Right;
      break;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      key.key = Key::Up;
      break;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      key.key = Key::Down;
      break;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
      key.key = Key::Home;
      break;
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
      key.key = Key::End;
      break;
    case GDK_KEY_BackSpace:
      key.key = Key::Backspace;
      break;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
      key.key = Key::Delete;
      break;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      key.key = Key::Enter;
      break;
    case GDK_KEY_Escape:
      key.key = Key::Escape;
      break;
    case GDK_KEY_Tab:
      key.key = Key::Tab;
      break;
    case GDK_KEY_a:
      key.key = Key::A;
      break;
    case GDK_KEY_c:
      key.key = Key::C;
      break;
    case GDK_KEY_v:
      key.key = Key::V;
      break;
    case GDK_KEY_x:
      key.key = Key::X;
      break;
    default:
      break;
  }
  return key;
}

const char* CursorName(CursorKind kind) {
  switch (kind) {
    case CursorKind::Hand:
      return "pointer";
    case CursorKind::IBeam:
      return "text";
    case CursorKind::Arrow:
      break;
  }
  return "default";
}

const char* EdgeCursorName(int edge) {
  switch (edge) {
    case GDK_WINDOW_EDGE_NORTH_WEST:
      return "nw-resize";
    case GDK_WINDOW_EDGE_NORTH:
      return "n-resize";
    case GDK_WINDOW_EDGE_NORTH_EAST:
      return "ne-resize";
    case GDK_WINDOW_EDGE_WEST:
      return "w-resize";
    case GDK_WINDOW_EDGE_EAST:
      return "e-resize";
    case GDK_WINDOW_EDGE_SOUTH_WEST:
      return "sw-resize";
    case GDK_WINDOW_EDGE_SOUTH:
      return "s-resize";
    case GDK_WINDOW_EDGE_SOUTH_EAST:
      return "se-resize";
    default:
      return "default";
  }
}

}  // namespace

GtkNativeWindow::GtkNativeWindow(WindowBase* owner) : owner_(owner) {}

GtkNativeWindow::~GtkNativeWindow() {
  dropList_.reset();
  KillAllTimers();
  if (blinkSource_ != 0) g_source_remove(blinkSource_);
  if (im_ != nullptr) {
    g_signal_handlers_disconnect_by_data(im_, this);
    g_object_unref(im_);
  }
  if (window_) {
    GtkWidget* window = window_;
    window_ = nullptr;
    g_signal_handlers_disconnect_by_data(window, this);
    if (canvas_ != nullptr) g_signal_handlers_disconnect_by_data(canvas_, this);
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
    parent_ = GTK_WIDGET(gtkParent->Widget());
    gtk_window_set_transient_for(GTK_WINDOW(window_), gtkParent->Widget());
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), TRUE);
  }
  ApplyWindowLook();
  canvas_ = gtk_drawing_area_new();
  gtk_widget_set_can_focus(canvas_, TRUE);
  gtk_widget_add_events(canvas_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                     GDK_POINTER_MOTION_MASK | GDK_LEAVE_NOTIFY_MASK |
                                     GDK_SCROLL_MASK | GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK |
                                     GDK_FOCUS_CHANGE_MASK);
  gtk_container_add(GTK_CONTAINER(window_), canvas_);
  im_ = gtk_im_multicontext_new();
  ConnectSignals();
  InputRouter& router = owner_->GetInputRouter();
  router.SetTextMeasure(this);
  router.SetClipboard(this);
  return true;
}

void GtkNativeWindow::ApplyWindowLook() {
  const WindowAttributes& look = owner_->GetMarkup().window;
  GdkScreen* screen = gtk_widget_get_screen(window_);
  GdkVisual* rgba = gdk_screen_get_rgba_visual(screen);
  const bool wantsAlpha = look.bkTrans || (look.roundCorner.cx > 0 && look.roundCorner.cy > 0);
  // Without a compositor an alpha visual shows black where it should be clear.
  if (wantsAlpha && rgba != nullptr && gdk_screen_is_composited(screen)) {
    gtk_widget_set_visual(window_, rgba);
  }
  gtk_widget_set_app_paintable(window_, TRUE);
}

void GtkNativeWindow::ConnectSignals() {
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
  g_signal_connect(canvas_, "draw", G_CALLBACK(OnDraw), this);
  g_signal_connect(canvas_, "size-allocate", G_CALLBACK(OnSizeAllocate), this);
  g_signal_connect(canvas_, "realize", G_CALLBACK(OnRealize), this);
  g_signal_connect(canvas_, "button-press-event", G_CALLBACK(OnButtonPress), this);
  g_signal_connect(canvas_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
  g_signal_connect(canvas_, "motion-notify-event", G_CALLBACK(OnMotion), this);
  g_signal_connect(canvas_, "leave-notify-event", G_CALLBACK(OnLeave), this);
  g_signal_connect(canvas_, "scroll-event", G_CALLBACK(OnScroll), this);
  g_signal_connect(canvas_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(canvas_, "key-release-event", G_CALLBACK(OnKeyRelease), this);
  g_signal_connect(canvas_, "focus-in-event", G_CALLBACK(OnFocusChange), this);
  g_signal_connect(canvas_, "focus-out-event", G_CALLBACK(OnFocusChange), this);
  g_signal_connect(im_, "commit", G_CALLBACK(OnCommit), this);
  g_signal_connect(im_, "preedit-changed", G_CALLBACK(OnPreeditChanged), this);
}

void GtkNativeWindow::Destroy() {
  if (window_) gtk_widget_destroy(window_);
}

void GtkNativeWindow::Show(bool show, bool takeFocus) {
  if (!window_) return;
  if (!show) {
    dropList_.reset();
    gtk_widget_hide(window_);
    return;
  }
  gtk_widget_show_all(window_);
  if (takeFocus) gtk_window_present(GTK_WINDOW(window_));
}

bool GtkNativeWindow::IsShown() const { return window_ && gtk_widget_get_visible(window_); }

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
  int width = 0, height = 0;
  gtk_window_get_size(GTK_WINDOW(window_), &width, &height);
  GdkRectangle area{};
  if (parent_ != nullptr && gtk_widget_get_visible(parent_)) {
    gtk_window_get_position(GTK_WINDOW(parent_), &area.x, &area.y);
    gtk_window_get_size(GTK_WINDOW(parent_), &area.width, &area.height);
  } else {
    GdkDisplay* display = gtk_widget_get_display(window_);
    GdkWindow* gdkWindow = gtk_widget_get_window(window_);
    GdkMonitor* monitor = gdkWindow ? gdk_display_get_monitor_at_window(display, gdkWindow)
                                    : gdk_display_get_primary_monitor(display);
    if (!monitor) monitor = gdk_display_get_monitor(display, 0);
    if (!monitor) return;
    gdk_monitor_get_workarea(monitor, &area);
  }
  gtk_window_move(GTK_WINDOW(window_), area.x + (area.width - width) / 2,
                  area.y + (area.height - height) / 2);
}

void GtkNativeWindow::Resize(int width, int height) {
  if (!window_) return;
  int x = 0, y = 0;
  gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
  gtk_window_resize(GTK_WINDOW(window_), width, height);
  // Window managers may anchor a resize elsewhere; the left and top stay put.
  gtk_window_move(GTK_WINDOW(window_), x, y);
}

void GtkNativeWindow::Move(int x, int y) {
  if (window_) gtk_window_move(GTK_WINDOW(window_), x, y);
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

void GtkNativeWindow::SetInputEnabled(bool enabled) {
  inputEnabled_ = enabled;
  if (!enabled) {
    dropList_.reset();
    owner_->GetInputRouter().MouseLeave();
  }
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

void GtkNativeWindow::OpenDropList(Combo* combo) {
  if (!window_ || combo == nullptr) return;
  dropList_.reset();
  dropList_ = std::make_unique<GtkDropList>(this, combo);
  if (!dropList_->Show()) dropList_.reset();
}

void GtkNativeWindow::CloseDropList() { dropList_.reset(); }

std::size_t GtkNativeWindow::EditIndexAt(const Edit& edit, int x) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  const std::size_t index =
      Painter(cr, owner_->GetMarkup(), owner_->GetImageStore()).EditIndexAt(edit, x);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return index;
}

std::wstring GtkNativeWindow::GetText() {
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  gchar* text = gtk_clipboard_wait_for_text(clipboard);
  std::wstring result = text != nullptr ? platform::FromUtf8(text) : std::wstring();
  g_free(text);
  return result;
}

void GtkNativeWindow::SetText(const std::wstring& text) {
  const std::string utf8 = platform::ToUtf8(text);
  gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), utf8.c_str(),
                         static_cast<gint>(utf8.size()));
}

gboolean GtkNativeWindow::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
  // The window decides, as with WM_CLOSE; GTK must not destroy on its own.
  static_cast<GtkNativeWindow*>(self)->owner_->HandleBackendMessage(kMsgClose, 0, 0);
  return TRUE;
}

void GtkNativeWindow::OnDestroy(GtkWidget*, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  self->dropList_.reset();
  self->KillAllTimers();
  if (self->blinkSource_ != 0) {
    g_source_remove(self->blinkSource_);
    self->blinkSource_ = 0;
  }
  if (self->im_ != nullptr) gtk_im_context_set_client_window(self->im_, nullptr);
  self->window_ = nullptr;
  self->canvas_ = nullptr;
  WindowBase* owner = self->owner_;
  owner->OnNativeDestroyed();  // deletes self: nothing may follow
}

gboolean GtkNativeWindow::OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  self->owner_->LayoutClient(width, height);
  Painter(cr, self->owner_->GetMarkup(), self->owner_->GetImageStore())
      .PaintWindow(self->owner_->GetRoot(), width, height);
  self->SyncInputMethod();
  return TRUE;
}

void GtkNativeWindow::OnSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer data) {
  static_cast<GtkNativeWindow*>(data)->owner_->LayoutClient(allocation->width, allocation->height);
}

void GtkNativeWindow::OnRealize(GtkWidget* widget, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  gtk_im_context_set_client_window(self->im_, gtk_widget_get_window(widget));
  const Size& corner = self->owner_->GetMarkup().window.roundCorner;
  GdkScreen* screen = gtk_widget_get_screen(widget);
  if (corner.cx > 0 && corner.cy > 0 && !gdk_screen_is_composited(screen)) {
    // No alpha on this desktop: cut the corners out of the window's shape.
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    cairo_rectangle_int_t whole{0, 0, width, height};
    cairo_region_t* region = cairo_region_create_rectangle(&whole);
    const int cut = std::max(1, std::min(corner.cx, corner.cy) / 2);
    for (int i = 0; i < cut; ++i) {
      const int w = cut - i;
      const cairo_rectangle_int_t pieces[4] = {{0, i, w, 1},
                                               {width - w, i, w, 1},
                                               {0, height - 1 - i, w, 1},
                                               {width - w, height - 1 - i, w, 1}};
      for (const auto& piece : pieces) cairo_region_subtract_rectangle(region, &piece);
    }
    gtk_widget_shape_combine_region(self->window_, region);
    cairo_region_destroy(region);
  }
}

int GtkNativeWindow::EdgeAt(int x, int y) const {
  const Rect& box = owner_->GetMarkup().window.sizeBox;
  if (box.left <= 0 && box.top <= 0 && box.right <= 0 && box.bottom <= 0) return -1;
  const int width = gtk_widget_get_allocated_width(canvas_);
  const int height = gtk_widget_get_allocated_height(canvas_);
  const bool left = x < box.left, right = x >= width - box.right;
  const bool top = y < box.top, bottom = y >= height - box.bottom;
  if (top && left) return GDK_WINDOW_EDGE_NORTH_WEST;
  if (top && right) return GDK_WINDOW_EDGE_NORTH_EAST;
  if (bottom && left) return GDK_WINDOW_EDGE_SOUTH_WEST;
  if (bottom && right) return GDK_WINDOW_EDGE_SOUTH_EAST;
  if (top) return GDK_WINDOW_EDGE_NORTH;
  if (bottom) return GDK_WINDOW_EDGE_SOUTH;
  if (left) return GDK_WINDOW_EDGE_WEST;
  if (right) return GDK_WINDOW_EDGE_EAST;
  return -1;
}

bool GtkNativeWindow::StartWindowDrag(GdkEventButton* event) {
  const int x = static_cast<int>(event->x), y = static_cast<int>(event->y);
  const int edge = EdgeAt(x, y);
  if (edge >= 0) {
    gtk_window_begin_resize_drag(GTK_WINDOW(window_), static_cast<GdkWindowEdge>(edge),
                                 static_cast<int>(event->button), static_cast<int>(event->x_root),
                                 static_cast<int>(event->y_root), event->time);
    return true;
  }
  const Rect& caption = owner_->GetMarkup().window.caption;
  const int width = gtk_widget_get_allocated_width(canvas_);
  // The caption's right side counts from the window's right edge, so
  // "0,0,0,310" is the whole top band, 310 pixels deep.
  const Rect band{caption.left, caption.top, width - caption.right, caption.bottom};
  if (!Contains(band, x, y)) return false;
  gtk_window_begin_move_drag(GTK_WINDOW(window_), static_cast<int>(event->button),
                             static_cast<int>(event->x_root), static_cast<int>(event->y_root),
                             event->time);
  return true;
}

gboolean GtkNativeWindow::OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  if (!self->window_ || !self->inputEnabled_ || event->button != 1) return TRUE;
  gtk_widget_grab_focus(widget);
  int clicks = 1;
  if (event->type == GDK_2BUTTON_PRESS) clicks = 2;
  if (event->type == GDK_3BUTTON_PRESS) clicks = 3;
  const bool shift = (event->state & GDK_SHIFT_MASK) != 0;
  const int x = static_cast<int>(event->x), y = static_cast<int>(event->y);
  if (self->owner_->GetInputRouter().MouseDown(x, y, clicks, shift)) {
    self->SyncInputMethod();
    return TRUE;
  }
  if (clicks == 1) self->StartWindowDrag(event);
  return TRUE;
}

gboolean GtkNativeWindow::OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  if (!self->window_ || event->button != 1) return TRUE;
  // Activation runs window code that may destroy this window: nothing after it.
  self->owner_->GetInputRouter().MouseUp(static_cast<int>(event->x), static_cast<int>(event->y));
  return TRUE;
}

void GtkNativeWindow::UpdatePointerLook(int x, int y) {
  InputRouter& router = owner_->GetInputRouter();
  const std::wstring tip = router.ToolTipAt(x, y);
  if (tip != toolTip_) {
    toolTip_ = tip;
    gtk_widget_set_tooltip_text(canvas_, tip.empty() ? nullptr : platform::ToUtf8(tip).c_str());
  }
  const int edge =
      router.GetPushed() == nullptr && FindInteractiveAt(owner_->GetRoot(), x, y) == nullptr
          ? EdgeAt(x, y)
          : -1;
  const std::string name = edge >= 0 ? EdgeCursorName(edge) : CursorName(router.CursorAt(x, y));
  if (name == cursorName_) return;
  cursorName_ = name;
  GdkWindow* gdkWindow = gtk_widget_get_window(canvas_);
  if (gdkWindow == nullptr) return;
  GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(gdkWindow), name.c_str());
  gdk_window_set_cursor(gdkWindow, cursor);
  if (cursor != nullptr) g_object_unref(cursor);
}

gboolean GtkNativeWindow::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  if (!self->window_ || !self->inputEnabled_) return TRUE;
  const int x = static_cast<int>(event->x), y = static_cast<int>(event->y);
  self->owner_->GetInputRouter().MouseMove(x, y);
  self->UpdatePointerLook(x, y);
  return TRUE;
}

gboolean GtkNativeWindow::OnLeave(GtkWidget*, GdkEventCrossing*, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  if (self->window_) self->owner_->GetInputRouter().MouseLeave();
  return TRUE;
}

gboolean GtkNativeWindow::OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  if (!self->window_ || !self->inputEnabled_) return TRUE;
  int notches = 0;
  if (event->direction == GDK_SCROLL_UP) notches = -1;
  if (event->direction == GDK_SCROLL_DOWN) notches = 1;
  if (notches != 0) {
    self->owner_->GetInputRouter().Wheel(static_cast<int>(event->x), static_cast<int>(event->y),
                                         notches);
  }
  return TRUE;
}

gboolean GtkNativeWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  if (!self->window_ || !self->inputEnabled_) return TRUE;
  if (self->imFocused_ && gtk_im_context_filter_keypress(self->im_, event)) return TRUE;
  self->owner_->GetInputRouter().KeyPress(TranslateKey(event));
  return TRUE;
}

gboolean GtkNativeWindow::OnKeyRelease(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  if (self->imFocused_) gtk_im_context_filter_keypress(self->im_, event);
  return TRUE;
}

gboolean GtkNativeWindow::OnFocusChange(GtkWidget*, GdkEventFocus*, gpointer data) {
  static_cast<GtkNativeWindow*>(data)->SyncInputMethod();
  return FALSE;
}

void GtkNativeWindow::OnCommit(GtkIMContext*, gchar* text, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  if (self->window_ && text != nullptr) {
    self->owner_->GetInputRouter().CommitText(platform::FromUtf8(text));
  }
}

void GtkNativeWindow::OnPreeditChanged(GtkIMContext* context, gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  gchar* text = nullptr;
  gint cursor = 0;
  gtk_im_context_get_preedit_string(context, &text, nullptr, &cursor);
  self->owner_->GetInputRouter().SetPreedit(platform::FromUtf8(text != nullptr ? text : ""),
                                            static_cast<std::size_t>(std::max(0, cursor)));
  g_free(text);
}

gboolean GtkNativeWindow::OnCaretBlink(gpointer data) {
  auto* self = static_cast<GtkNativeWindow*>(data);
  auto* edit = dynamic_cast<Edit*>(self->owner_->GetInputRouter().GetFocus());
  if (edit == nullptr) {
    self->blinkSource_ = 0;
    return G_SOURCE_REMOVE;
  }
  edit->SetCaretShown(!edit->IsCaretShown());
  return G_SOURCE_CONTINUE;
}

// The input method follows the focused edit: focused with it, told where its
// caret is (for the candidate window), reset when it loses the focus.
void GtkNativeWindow::SyncInputMethod() {
  if (!canvas_) return;
  auto* edit = dynamic_cast<Edit*>(owner_->GetInputRouter().GetFocus());
  const bool wants = edit != nullptr && gtk_widget_has_focus(canvas_) && !edit->IsReadOnly();
  if (wants != imFocused_) {
    imFocused_ = wants;
    if (wants) {
      gtk_im_context_focus_in(im_);
    } else {
      gtk_im_context_focus_out(im_);
      gtk_im_context_reset(im_);
    }
  }
  if (edit != nullptr) {
    const Rect& pos = edit->GetPos();
    GdkRectangle area{pos.left, pos.top, Width(pos), Height(pos)};
    gtk_im_context_set_cursor_location(im_, &area);
    if (blinkSource_ == 0) blinkSource_ = g_timeout_add(kCaretBlinkMs, OnCaretBlink, this);
  }
}

}  // namespace ui
