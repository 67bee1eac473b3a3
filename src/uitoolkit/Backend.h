// The display backend behind every window, chosen in one place: the one a
// test installs with SetBackend, else the program's default (the GTK backend,
// DefaultBackend(), defined by the backend library that is linked in).
//
// The UI thread runs RunLoop (the program's loop) and, inside it, nested
// modal loops; QuitLoop ends the outermost loop once the nested ones have
// returned. Posted messages reach the UI thread through the MessageQueue's
// wake hook, which the backend installs when it starts. All calls on the UI
// thread.
#pragma once
#include <functional>
#include <memory>
#include <string>

namespace ui {

class NativeWindow;
class WindowBase;

class Backend {
 public:
  virtual ~Backend() = default;
  // Connects to the display. False when there is none (logged).
  virtual bool Initialize() = 0;
  // Null when there is no display.
  virtual std::unique_ptr<NativeWindow> CreateNativeWindow(WindowBase* owner) = 0;
  virtual void RunLoop() = 0;
  virtual void QuitLoop() = 0;
  // Handles events (timers, input, posted messages) until finished() is true;
  // checked after every event. Returns at once without a display.
  virtual void RunModalLoop(const std::function<bool()>& finished) = 0;
  // A plain message box with an OK button; blocks until closed (returns at
  // once without a display). owner may be null.
  virtual void ShowMessageBox(const std::wstring& caption, const std::wstring& text,
                              NativeWindow* owner) = 0;
};

Backend& GetBackend();
// Null restores the default. The backend must outlive every window made with it.
void SetBackend(Backend* backend);
Backend& DefaultBackend();

}  // namespace ui
