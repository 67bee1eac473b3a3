// The GTK 3 backend of the toolkit: display connection, the UI thread's loop,
// the wake-up of posted messages and native windows.
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>

#include "Logging.h"
#include "uitoolkit/MessageQueue.h"
#include "uitoolkit/NativeWindow.h"
#include "uitoolkit/WindowBase.h"
#include "uitoolkit/gtk/GtkNativeWindow.h"

namespace ui {
namespace backend {

namespace {

gboolean DispatchPosted(gpointer) {
  MessageQueue::Instance().Dispatch();
  return G_SOURCE_REMOVE;
}

gboolean QuitInnermostLoop(gpointer) {
  if (gtk_main_level() > 0) gtk_main_quit();
  return G_SOURCE_REMOVE;
}

// A session that ends or a kill asks the windows to close, as the desktop's
// close button would.
gboolean OnTerminateSignal(gpointer) {
  LOG(INFO) << " termination signal: closing the windows";
  GList* windows = gtk_window_list_toplevels();
  for (GList* item = windows; item; item = item->next) {
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = gtk_widget_get_window(GTK_WIDGET(item->data));
    if (event->any.window) {
      g_object_ref(event->any.window);
      event->any.send_event = TRUE;
      gtk_main_do_event(event);
    }
    gdk_event_free(event);
  }
  const bool noWindow = windows == nullptr;
  g_list_free(windows);
  // Nothing to close: end the loop directly.
  if (noWindow && gtk_main_level() > 0) gtk_main_quit();
  return G_SOURCE_CONTINUE;
}

}  // namespace

bool Initialize() {
  static bool initialized = false;
  if (initialized) return true;
  if (!gtk_init_check(nullptr, nullptr)) {
    LOG(INFO) << " no display: the window cannot be shown";
    return false;
  }
  MessageQueue::Instance().SetWakeHook(
      [] { g_idle_add_full(G_PRIORITY_DEFAULT, DispatchPosted, nullptr, nullptr); });
  g_unix_signal_add(SIGTERM, OnTerminateSignal, nullptr);
  g_unix_signal_add(SIGINT, OnTerminateSignal, nullptr);
  initialized = true;
  return true;
}

std::unique_ptr<NativeWindow> CreateNativeWindow(WindowBase* owner) {
  if (!Initialize()) return nullptr;
  return std::make_unique<GtkNativeWindow>(owner);
}

void RunLoop() {
  if (Initialize()) gtk_main();
}

void QuitLoop() { g_idle_add_full(G_PRIORITY_DEFAULT, QuitInnermostLoop, nullptr, nullptr); }

}  // namespace backend
}  // namespace ui
