#include "uitoolkit/WindowBase.h"

#include "Logging.h"
#include "platform/Encoding.h"
#include "platform/WindowRegistry.h"
#include "uitoolkit/Backend.h"
#include "uitoolkit/Control.h"
#include "uitoolkit/NativeWindow.h"
#include "uitoolkit/SkinPackage.h"

namespace ui {

WindowBase::WindowBase() = default;

WindowBase::~WindowBase() {
  MessageQueue::Instance().Unregister(this);
  classRegistration_.reset();
  if (modal_) modal_->ended = true;
  // The native object's destructor takes the window down without calling back.
  native_.reset();
  if (markup_.root) markup_.root->SetOwner(nullptr);
}

bool WindowBase::Create(WindowBase* parent, const std::wstring& title, uint32_t style,
                        uint32_t /*exStyle*/, int x, int y, int width, int height) {
  if (native_) return false;
  LoadSkin();
  if (markup_.window.size.cx > 0 && markup_.window.size.cy > 0) {
    width = markup_.window.size.cx;
    height = markup_.window.size.cy;
  }
  std::unique_ptr<NativeWindow> native = GetBackend().CreateNativeWindow(this);
  if (!native || !native->Create(title, style, x, y, width, height,
                                 parent ? parent->native_.get() : nullptr)) {
    LOG(INFO) << " window could not be created: " << platform::ToUtf8(GetWindowClassName());
    return false;
  }
  parent_ = parent;
  native_ = std::move(native);
  MessageQueue::Instance().Register(this);
  if (!parent) {
    // Top-level windows can be found by class name from other processes.
    classRegistration_ = std::make_unique<platform::WindowClassRegistration>(
        GetWindowClassName(), [this] { PostMessage(kMsgPresent); });
  }
  LayoutClient(width, height);
  InitWindow();
  return true;
}

void WindowBase::LoadSkin() {
  // In the zip resource the skin files sit at the package root; the skin
  // folder names where loose files would lie, and is tried second.
  const std::wstring file = GetSkinFile();
  if (file.empty()) return;
  const SkinPackage* package = GetResourcePackage();
  const std::wstring inFolder = GetSkinFolder() + file;
  const bool atRoot = package == nullptr || package->HasEntry(file) || !package->HasEntry(inFolder);
  markup_ = BuildWindowMarkup(atRoot ? file : inFolder);
  if (!markup_.root) {
    LOG(INFO) << " skin file gave no controls: " << platform::ToUtf8(file);
    return;
  }
  markup_.root->SetOwner(this);
  router_.SetRoot(markup_.root.get());
}

void WindowBase::LayoutClient(int width, int height) {
  if (markup_.root) markup_.root->SetPos(Rect{0, 0, width, height});
}

int WindowBase::ShowModal() {
  if (!native_) return -1;
  // The loop's state outlives this object, which its final hook may delete.
  auto state = std::make_shared<ModalState>();
  modal_ = state;
  WindowBase* owner = parent_;
  const bool ownerWasEnabled = owner != nullptr && owner->IsInputEnabled();
  if (owner != nullptr) owner->SetInputEnabled(false);
  ShowWindow(true, true);
  GetBackend().RunModalLoop([state] { return state->ended; });
  if (owner != nullptr && owner->IsWindow()) {
    owner->SetInputEnabled(ownerWasEnabled || owner->IsInputEnabled());
    // An owner the dialog hid on its way out (the cancel question) stays hidden.
    if (owner->IsWindowVisible()) owner->Restore();
  }
  return state->result;
}

void WindowBase::SetInputEnabled(bool enabled) {
  inputEnabled_ = enabled;
  if (native_) native_->SetInputEnabled(enabled);
}

void WindowBase::Close(int result) { PostMessage(kMsgClose, static_cast<uintptr_t>(result)); }

void WindowBase::CenterWindow() {
  if (native_) native_->Center();
}

void WindowBase::ShowWindow(bool show, bool takeFocus) {
  if (native_) native_->Show(show, takeFocus);
}

bool WindowBase::IsWindowVisible() const { return native_ && native_->IsShown(); }

void WindowBase::Minimize() {
  if (native_) native_->Minimize();
}

void WindowBase::Restore() {
  if (native_) native_->Present();
}

void WindowBase::ResizeClient(int width, int height) {
  if (!native_) return;
  native_->Resize(width, height);
  LayoutClient(width, height);
}

void WindowBase::GetWindowRect(int* x, int* y, int* width, int* height) const {
  *x = *y = *width = *height = 0;
  if (native_) native_->GetRect(x, y, width, height);
}

bool WindowBase::PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return MessageQueue::Instance().Post(this, message, wParam, lParam);
}

bool WindowBase::SetTimer(uint32_t id, uint32_t elapseMs) {
  return native_ && native_->SetTimer(id, elapseMs);
}

void WindowBase::KillTimer(uint32_t id) {
  if (native_) native_->KillTimer(id);
}

Control* WindowBase::FindControl(const std::wstring& name) const {
  return markup_.root ? ui::FindControl(markup_.root.get(), name) : nullptr;
}

void WindowBase::DeliverPostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HandleBackendMessage(message, wParam, lParam);
}

void WindowBase::HandleBackendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  bool handled = false;
  HandleMessage(message, wParam, lParam, handled);
  if (handled || !native_) return;
  switch (message) {
    case kMsgClose:
      if (OnClose() && native_) {
        closeResult_ = static_cast<int>(wParam);
        // May end in OnFinalMessage, which may delete this object.
        native_->Destroy();
      }
      return;
    case kMsgPresent:
      LOG(INFO) << " bring window to front";
      native_->Present();
      return;
    default:
      if (message >= kMsgUser) HandleCustomMessage(message, wParam, lParam);
      return;
  }
}

void WindowBase::OnNativeDestroyed() {
  MessageQueue::Instance().Unregister(this);
  classRegistration_.reset();
  router_.Forget(markup_.root.get());
  // The backend calls this as the last thing of its destroy handler, so the
  // native object may go now.
  native_.reset();
  if (modal_) {
    modal_->result = closeResult_;
    modal_->ended = true;
    modal_.reset();
  }
  OnFinalMessage();
}

void WindowBase::SendNotify(const Notification& notification) { Notify(notification); }

void WindowBase::Notify(const Notification& n) {
  if (n.type == L"click") {
    OnClick(n);
  } else if (n.type == L"selectchanged") {
    OnSelectChanged(n);
  } else if (n.type == L"itemselect") {
    OnItemSelect(n);
  } else if (n.type == L"link") {
    OnLink(n);
  } else if (n.type == L"headerclick") {
    OnHeaderClick(n);
  } else if (n.type == L"itemactivate") {
    OnItemActivate(n);
  }
}

void WindowBase::OnControlChanged(Control*) {
  if (native_) native_->Invalidate();
}

void WindowBase::OnControlRemoved(Control* control) {
  router_.Forget(control);
  if (native_) native_->Invalidate();
}

void WindowBase::OpenDropList(Combo* combo) {
  if (native_ && inputEnabled_) native_->OpenDropList(combo);
}

void RunMessageLoop() {
  if (GetBackend().Initialize()) GetBackend().RunLoop();
}

void PostQuitMessage() { GetBackend().QuitLoop(); }

}  // namespace ui
