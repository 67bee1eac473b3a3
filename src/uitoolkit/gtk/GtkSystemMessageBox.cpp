#include <gtk/gtk.h>

#include "platform/Encoding.h"
#include "uitoolkit/NativeWindow.h"
#include "uitoolkit/SystemMessageBox.h"

namespace ui {

void ShowSystemMessageBox(const std::wstring& caption, const std::wstring& text) {
  if (!backend::Initialize()) return;
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                             GTK_BUTTONS_OK, "%s", platform::ToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), platform::ToUtf8(caption).c_str());
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

}  // namespace ui
