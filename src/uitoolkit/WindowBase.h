// The base of every window of the program: a native top-level window whose
// content is built from a skin file of the resource package.
//
// Subclasses override the operations below (the window class's slots):
// class name and style, the raw message handler (every message first, timers
// among them), the final-message hook, initialisation, the notification
// handlers, skin folder and file, resource kind and id, the close handler and
// the custom-message handler.
//
// Notifications from the controls reach Notify, whose base version
// dispatches by name: "click" to OnClick, "selectchanged" to OnSelectChanged,
// "itemselect" to OnItemSelect, "link" to OnLink, "headerclick" to
// OnHeaderClick, "itemactivate" to OnItemActivate. A subclass that overrides
// Notify passes what it does not handle on to WindowBase::Notify.
//
// Messages: PostMessage (any thread) queues a message for the UI thread; they
// arrive in the order posted, also while a modal window's loop runs. Close
// posts a close request carrying a result: its delivery asks OnClose, and
// when that agrees the native window goes, the result becomes the modal
// result, and OnFinalMessage runs last (a subclass may delete itself there).
// Later messages for a window that is gone are dropped.
//
// Modal windows: ShowModal runs a nested loop until the window is gone and
// returns its close result; meanwhile the parent given to Create takes no
// input, and it is enabled and brought to the front again afterwards. The
// window object may be deleted by its final-message hook: ShowModal touches
// nothing of it after the loop.
//
// Threads: everything on the UI thread except PostMessage. The window object
// is owned by its creator (or by itself, through OnFinalMessage) and must
// outlive its native window.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "uitoolkit/ImageStore.h"
#include "uitoolkit/InputRouter.h"
#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/MessageQueue.h"
#include "uitoolkit/Messages.h"
#include "uitoolkit/Notification.h"

namespace platform {
class WindowClassRegistration;
}

namespace ui {

class Control;
class NativeWindow;

class WindowBase : public MessageTarget, public ControlOwner {
 public:
  WindowBase();
  ~WindowBase() override;
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;

  // Builds the skin's controls, creates the native window and runs
  // InitWindow. The skin's size wins over the given one. parent may be null.
  // False when no native window could be made (no display).
  bool Create(WindowBase* parent, const std::wstring& title, uint32_t style, uint32_t exStyle,
              int x, int y, int width, int height);
  // -1 when the window does not exist.
  int ShowModal();
  // Posts a close request with result (the modal result when it closes the window).
  void Close(int result = 0);
  void CenterWindow();
  void ShowWindow(bool show = true, bool takeFocus = true);
  bool IsWindowVisible() const;
  void Minimize();
  // Back from the taskbar and to the front.
  void Restore();
  // New client size; the window keeps its left and top.
  void ResizeClient(int width, int height);
  void GetWindowRect(int* x, int* y, int* width, int* height) const;
  bool IsWindow() const { return native_ != nullptr; }
  WindowBase* GetParentWindow() const { return parent_; }
  NativeWindow* GetNativeWindow() const { return native_.get(); }

  // Any thread. False when the window is gone.
  bool PostMessage(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
  // A repeating timer delivered as kMsgTimer with the id as wParam; setting
  // an id again restarts it. False when the window is gone.
  bool SetTimer(uint32_t id, uint32_t elapseMs);
  void KillTimer(uint32_t id);

  Control* FindControl(const std::wstring& name) const;
  Control* GetRoot() const { return markup_.root.get(); }
  const WindowMarkup& GetMarkup() const { return markup_; }
  // Pictures by name: loaded from the skin, or registered by the program.
  ImageStore& GetImageStore() { return images_; }
  InputRouter& GetInputRouter() { return router_; }
  bool IsInputEnabled() const { return inputEnabled_; }

  // Called by the backend on the UI thread.
  void LayoutClient(int width, int height);
  void HandleBackendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void OnNativeDestroyed();
  void DeliverPostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  // ControlOwner: called by the controls of this window's tree.
  void SendNotify(const Notification& notification) override;
  void OnControlChanged(Control* control) override;
  void OnControlRemoved(Control* control) override;
  void OpenDropList(Combo* combo) override;

 protected:
  virtual std::wstring GetWindowClassName() const = 0;
  virtual uint32_t GetClassStyle() const { return 0; }
  // The skin file is read from the package root; only when it is not there,
  // from the skin folder (which is where loose skin files would lie).
  virtual std::wstring GetSkinFolder() const { return std::wstring(); }
  virtual std::wstring GetSkinFile() const = 0;
  // The skin is the zip in the program's resources: kind "ZIPRES", id 138.
  virtual std::wstring GetResourceType() const { return L"ZIPRES"; }
  virtual int GetResourceID() const { return 138; }
  virtual void InitWindow() {}
  virtual void OnFinalMessage() {}
  virtual void Notify(const Notification& notification);
  virtual void OnClick(const Notification& /*notification*/) {}
  virtual void OnSelectChanged(const Notification& /*notification*/) {}
  virtual void OnItemSelect(const Notification& /*notification*/) {}
  virtual void OnLink(const Notification& /*notification*/) {}
  virtual void OnHeaderClick(const Notification& /*notification*/) {}
  virtual void OnItemActivate(const Notification& /*notification*/) {}
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

 private:
  struct ModalState {
    bool ended = false;
    int result = 0;
  };

  void LoadSkin();
  void SetInputEnabled(bool enabled);

  std::unique_ptr<NativeWindow> native_;
  std::unique_ptr<platform::WindowClassRegistration> classRegistration_;
  WindowMarkup markup_;
  ImageStore images_;
  InputRouter router_;
  WindowBase* parent_ = nullptr;
  bool inputEnabled_ = true;
  int closeResult_ = 0;
  std::shared_ptr<ModalState> modal_;
};

// The UI thread's loop: runs until PostQuitMessage.
void RunMessageLoop();
void PostQuitMessage();

}  // namespace ui
