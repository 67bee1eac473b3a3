// A GTK 3 top-level window standing for one WindowBase. UI thread only.
// The GtkWidget is owned by GTK; this object lives until the widget's
// "destroy" signal, whose handler ends with WindowBase::OnNativeDestroyed.
#pragma once
#include <gtk/gtk.h>

#include <map>

#include "uitoolkit/NativeWindow.h"

namespace ui {

class GtkNativeWindow : public NativeWindow {
 public:
  explicit GtkNativeWindow(WindowBase* owner);
  ~GtkNativeWindow() override;

  bool Create(const std::wstring& title, uint32_t style, int x, int y, int width, int height,
              NativeWindow* parent) override;
  void Destroy() override;
  void Show(bool show, bool takeFocus) override;
  void Present() override;
  void Minimize() override;
  void Center() override;
  void Resize(int width, int height) override;
  void GetRect(int* x, int* y, int* width, int* height) const override;
  void Invalidate() override;
  bool SetTimer(uint32_t id, uint32_t elapseMs) override;
  void KillTimer(uint32_t id) override;

  GtkWindow* Widget() const { return GTK_WINDOW(window_); }

 private:
  static gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self);
  static void OnDestroy(GtkWidget*, gpointer self);
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self);
  void KillAllTimers();

  WindowBase* owner_;
  GtkWidget* window_ = nullptr;
  GtkWidget* canvas_ = nullptr;
  std::map<uint32_t, guint> timers_;
};

}  // namespace ui
