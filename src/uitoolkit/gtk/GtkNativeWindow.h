// A GTK 3 top-level window standing for one WindowBase. UI thread only.
//
// It draws the owner's control tree with the Painter (a drawing area fills
// the window), lays the tree out when its size changes, and feeds the
// owner's InputRouter with the mouse, the wheel, keys and the input method's
// text (a GtkIMContext: composition shown in the focused edit, committed
// text inserted). What the controls leave to the window goes to GTK: a press
// outside the controls within the "caption" band drags the window, within
// the "sizebox" border resizes it; tool tips and mouse cursors follow the
// control under the pointer. "bktrans" windows get a visual with alpha
// (per-pixel transparency where the desktop composes windows), and
// "roundcorner" cuts the corners.
// The GtkWidget is owned by GTK; this object lives until the widget's
// "destroy" signal, whose handler ends with WindowBase::OnNativeDestroyed
// (which deletes this object). Deleting the object first (the owner's
// destructor) destroys the widget without calling back.
#pragma once
#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <string>

#include "uitoolkit/InputRouter.h"
#include "uitoolkit/KeyEvent.h"
#include "uitoolkit/NativeWindow.h"

namespace ui {

class GtkDropList;
class Painter;
class WindowBase;

class GtkNativeWindow : public NativeWindow, public TextMeasure, public Clipboard {
 public:
  explicit GtkNativeWindow(WindowBase* owner);
  ~GtkNativeWindow() override;

  bool Create(const std::wstring& title, uint32_t style, int x, int y, int width, int height,
              NativeWindow* parent) override;
  void Destroy() override;
  void Show(bool show, bool takeFocus) override;
  bool IsShown() const override;
  void Present() override;
  void Minimize() override;
  void Center() override;
  void Resize(int width, int height) override;
  void Move(int x, int y) override;
  void GetRect(int* x, int* y, int* width, int* height) const override;
  void Invalidate() override;
  void SetInputEnabled(bool enabled) override;
  bool SetTimer(uint32_t id, uint32_t elapseMs) override;
  void KillTimer(uint32_t id) override;
  void OpenDropList(Combo* combo) override;

  // TextMeasure and Clipboard for the owner's input router.
  std::size_t EditIndexAt(const Edit& edit, int x) override;
  std::wstring GetText() override;
  void SetText(const std::wstring& text) override;

  GtkWindow* Widget() const { return GTK_WINDOW(window_); }
  WindowBase* Owner() const { return owner_; }
  // Ends the drop-down list (called by the list itself, as its last act).
  void CloseDropList();

 private:
  static gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self);
  static void OnDestroy(GtkWidget*, gpointer self);
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static void OnSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer self);
  static void OnRealize(GtkWidget*, gpointer self);
  static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self);
  static gboolean OnLeave(GtkWidget*, GdkEventCrossing* event, gpointer self);
  static gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer self);
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean OnKeyRelease(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean OnFocusChange(GtkWidget*, GdkEventFocus* event, gpointer self);
  static void OnCommit(GtkIMContext*, gchar* text, gpointer self);
  static void OnPreeditChanged(GtkIMContext*, gpointer self);
  static gboolean OnCaretBlink(gpointer self);

  void ConnectSignals();
  void ApplyWindowLook();
  bool StartWindowDrag(GdkEventButton* event);
  int EdgeAt(int x, int y) const;
  void UpdatePointerLook(int x, int y);
  void SyncInputMethod();
  void KillAllTimers();

  WindowBase* owner_;
  GtkWidget* window_ = nullptr;
  GtkWidget* canvas_ = nullptr;
  GtkWidget* parent_ = nullptr;
  GtkIMContext* im_ = nullptr;
  bool imFocused_ = false;
  bool inputEnabled_ = true;
  guint blinkSource_ = 0;
  std::map<uint32_t, guint> timers_;
  std::wstring toolTip_;
  std::string cursorName_;
  std::unique_ptr<GtkDropList> dropList_;
};

}  // namespace ui
