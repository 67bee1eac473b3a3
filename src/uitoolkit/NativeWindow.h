// What a window base needs from a display backend. The GTK backend
// (uitoolkit/gtk) implements it; tests may stand in their own. All calls are
// made on the UI thread.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace ui {

class WindowBase;

class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  virtual bool Create(const std::wstring& title, uint32_t style, int x, int y, int width,
                      int height, NativeWindow* parent) = 0;
  virtual void Destroy() = 0;
  virtual void Show(bool show, bool takeFocus) = 0;
  virtual void Present() = 0;
  virtual void Minimize() = 0;
  virtual void Center() = 0;
  virtual void Resize(int width, int height) = 0;
  virtual void GetRect(int* x, int* y, int* width, int* height) const = 0;
  virtual void Invalidate() = 0;
  virtual bool SetTimer(uint32_t id, uint32_t elapseMs) = 0;
  virtual void KillTimer(uint32_t id) = 0;
};

// The backend, chosen in one place (the backend's own source file).
namespace backend {
// Connects to the display. False when there is none.
bool Initialize();
std::unique_ptr<NativeWindow> CreateNativeWindow(WindowBase* owner);
// Runs the UI thread's loop until QuitLoop; nested calls run nested loops.
void RunLoop();
void QuitLoop();
}  // namespace backend

}  // namespace ui
