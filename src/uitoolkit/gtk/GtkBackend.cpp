// The GTK 3 backend of the toolkit: display connection, the UI thread's loop
// and nested modal loops, the wake-up of posted messages, native windows and
// the plain message box.
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>

#include "Logging.h"
#include "platform/Encoding.h"
#include "uitoolkit/Backend.h"
#include "uitoolkit/MessageQueue.h"
#include "uitoolkit/WindowBase.h"
#include "uitoolkit/gtk/FontSetup.h"
#include "uitoolkit/gtk/GtkNativeWindow.h"
#include "uitoolkit/gtk/PixbufDecoder.h"

namespace ui {
namespace {

gboolean DispatchPosted(gpointer) {
  MessageQueue::Instance().Dispatch();
  return G_SOURCE_REMOVE;
}

gboolean QuitOutermostLoop(gpointer) {
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

class GtkBackend : public Backend {
 public:
  bool Initialize() override {
    if (!initialized_) {
      if (!gtk_init_check(nullptr, nullptr)) {
        LOG(INFO) << " no display: the window cannot be shown";
        return false;
      }
      EnsureFontSetup();
      InstallPixbufDecoder();
      g_unix_signal_add(SIGTERM, OnTerminateSignal, nullptr);
      g_unix_signal_add(SIGINT, OnTerminateSignal, nullptr);
      initialized_ = true;
    }
    // Posted messages wake the loop; a test backend may have had the hook meanwhile.
    if (!MessageQueue::Instance().HasWakeHook()) {
      MessageQueue::Instance().SetWakeHook(
          [] { g_idle_add_full(G_PRIORITY_DEFAULT, DispatchPosted, nullptr, nullptr); });
    }
    return true;
  }

  std::unique_ptr<NativeWindow> CreateNativeWindow(WindowBase* owner) override {
    if (!Initialize()) return nullptr;
    return std::make_unique<GtkNativeWindow>(owner);
  }

  void RunLoop() override {
    if (Initialize()) gtk_main();
  }

  // gtk_main_quit ends the innermost gtk_main; modal loops are not gtk_main
  // levels, so the program's loop ends once they have returned.
  void QuitLoop() override {
    g_idle_add_full(G_PRIORITY_DEFAULT, QuitOutermostLoop, nullptr, nullptr);
  }

  void RunModalLoop(const std::function<bool()>& finished) override {
    if (!initialized_) return;
    while (!finished()) g_main_context_iteration(nullptr, TRUE);
  }

  void ShowMessageBox(const std::wstring& caption, const std::wstring& text,
                      NativeWindow* owner) override {
    if (!Initialize()) return;
    GtkWindow* parent = owner != nullptr ? static_cast<GtkNativeWindow*>(owner)->Widget() : nullptr;
    GtkWidget* dialog =
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "%s",
                               platform::ToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), platform::ToUtf8(caption).c_str());
    gtk_window_set_position(GTK_WINDOW(dialog),
                            parent != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
  }

 private:
  bool initialized_ = false;
};

}  // namespace

Backend& DefaultBackend() {
  static GtkBackend backend;
  return backend;
}

}  // namespace ui
