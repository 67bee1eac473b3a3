// The pop-up window of a combo box's drop-down list (model: DropList). It
// opens below the box (above it when the screen has no room below), takes
// the pointer and keyboard while open, paints the items with the combo's
// item colours and font, and closes on a choice, Escape, or a click outside.
// A choice selects the item in the combo after the pop-up has gone, so the
// "itemselect" handler runs with the list closed. Owned by the combo's
// GtkNativeWindow; UI thread only.
#pragma once
#include <gtk/gtk.h>

#include "uitoolkit/DropList.h"

namespace ui {

class Combo;
class GtkNativeWindow;

class GtkDropList {
 public:
  GtkDropList(GtkNativeWindow* owner, Combo* combo);
  ~GtkDropList();
  GtkDropList(const GtkDropList&) = delete;
  GtkDropList& operator=(const GtkDropList&) = delete;

  // False when the list has nothing to show or could not open.
  bool Show();

 private:
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self);
  static gboolean OnScroll(GtkWidget*, GdkEventScroll* event, gpointer self);
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean OnGrabBroken(GtkWidget*, GdkEvent*, gpointer self);

  void Paint(cairo_t* cr);
  // Closes the list and then chooses index (-1: nothing). Ends this object.
  void Finish(int index);

  GtkNativeWindow* owner_;
  Combo* combo_;
  DropList list_;
  GtkWidget* popup_ = nullptr;
  GdkSeat* grabbedSeat_ = nullptr;
  bool pressedInside_ = false;
};

}  // namespace ui
