// The base of every window of the program: a native top-level window whose
// content is built from a skin file of the resource package.
//
// Subclasses override the hooks below. Everything runs on the UI thread except
// PostMessage, which any thread may call while the window exists; messages for
// a window that has been destroyed are dropped. The window object is owned by
// its creator and must outlive its native window (OnFinalMessage marks the end).
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/MessageQueue.h"
#include "uitoolkit/Messages.h"

namespace platform {
class WindowClassRegistration;
}

namespace ui {

class Control;
class NativeWindow;

struct Notification {
  std::wstring type;  // "click", "selectchanged", "itemselect", "link", ...
  Control* sender = nullptr;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

class WindowBase : public MessageTarget {
 public:
  WindowBase();
  ~WindowBase() override;
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  // Creates the native window, builds the skin's controls and runs
  // InitWindow. The skin's size wins over the given one, as the window grows to
  // its layout. False when no native window could be made.
  bool Create(WindowBase* parent, const std::wstring& title, uint32_t style, uint32_t exStyle,
              int x, int y, int width, int height);
  void CenterWindow();
  void ShowWindow(bool show = true, bool takeFocus = true);
  void Close();  // as WM_CLOSE: asks OnClose first
  void Minimize();
  void ResizeClient(int width, int height);
  bool IsWindow() const { return native_ != nullptr; }

  // Any thread. False when the window is gone.
  bool PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
  bool SetTimer(uint32_t id, uint32_t elapseMs);
  void KillTimer(uint32_t id);

  Control* FindControl(const std::wstring& name) const;
  Control* GetRoot() const { return markup_.root.get(); }
  const WindowMarkup& GetMarkup() const { return markup_; }

  // Called by the backend on the UI thread.
  void HandleBackendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void OnNativeDestroyed();
  void DeliverPostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 protected:
  virtual std::wstring GetWindowClassName() const = 0;
  virtual uint32_t GetClassStyle() const { return 0; }
  virtual std::wstring GetSkinFolder() const { return std::wstring(); }
  virtual std::wstring GetSkinFile() const = 0;
  // The skin is the zip in the program's resources: kind "ZIPRES", id 138.
  virtual std::wstring GetResourceType() const { return L"ZIPRES"; }
  virtual int GetResourceID() const { return 138; }
  virtual void InitWindow() {}
  virtual void OnFinalMessage() {}
  virtual void Notify(const Notification& /*notification*/) {}
  virtual void OnClick(const Notification& /*notification*/) {}
  // True lets the window close.
  virtual bool OnClose() { return true; }
  // Custom messages (kMsgUser and above). True when handled.
  virtual bool HandleCustomMessage(uint32_t /*message*/, uintptr_t /*wParam*/,
                                   intptr_t /*lParam*/) {
    return false;
  }
  // Every message first (kMsgTimer among them); set handled to stop default handling.
  virtual intptr_t HandleMessage(uint32_t /*message*/, uintptr_t /*wParam*/, intptr_t /*lParam*/,
                                 bool& handled) {
    handled = false;
    return 0;
  }

  // Dispatches a notification: "click" goes to OnClick, every kind to Notify.
  void SendNotify(const Notification& notification);

 private:
  void LoadSkin();

  std::unique_ptr<NativeWindow> native_;
  std::unique_ptr<platform::WindowClassRegistration> classRegistration_;
  WindowMarkup markup_;
};

// The UI thread's loop: runs until PostQuitMessage.
void RunMessageLoop();
void PostQuitMessage();

}  // namespace ui
