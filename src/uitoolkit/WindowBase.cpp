#include "uitoolkit/WindowBase.h"

#include "Logging.h"
#include "platform/Encoding.h"
#include "platform/WindowRegistry.h"
#include "uitoolkit/Control.h"
#include "uitoolkit/NativeWindow.h"

namespace ui {

WindowBase::WindowBase() = default;

WindowBase::~WindowBase() {
  MessageQueue::Instance().Unregister(this);
  classRegistration_.reset();
  if (native_) native_->Destroy();
}

bool WindowBase::Create(WindowBase* parent, const std::wstring& title, uint32_t style,
                        uint32_t /*exStyle*/, int x, int y, int width, int height) {
  if (native_) return false;
  LoadSkin();
  if (markup_.window.size.cx > 0 && markup_.window.size.cy > 0) {
    width = markup_.window.size.cx;
    height = markup_.window.size.cy;
  }
  std::unique_ptr<NativeWindow> native = backend::CreateNativeWindow(this);
  if (!native ||
      !native->Create(title, style, x, y, width, height, parent ? parent->native_.get() : nullptr)) {
    LOG(INFO) << " window could not be created: " << platform::ToUtf8(GetWindowClassName());
    return false;
  }
  native_ = std::move(native);
  MessageQueue::Instance().Register(this);
  if (!parent) {
    // Top-level windows can be found by class name from other processes.
    classRegistration_ = std::make_unique<platform::WindowClassRegistration>(
        GetWindowClassName(), [this] { PostMessage(kMsgPresent); });
  }
  InitWindow();
  return true;
}

void WindowBase::LoadSkin() {
  const std::wstring file = GetSkinFolder() + GetSkinFile();
  if (file.empty()) return;
  markup_ = BuildWindowMarkup(file);
  if (!markup_.root) LOG(INFO) << " skin file gave no controls: " << platform::ToUtf8(file);
}

void WindowBase::CenterWindow() {
  if (native_) native_->Center();
}

void WindowBase::ShowWindow(bool show, bool takeFocus) {
  if (native_) native_->Show(show, takeFocus);
}

void WindowBase::Close() { HandleBackendMessage(kMsgClose, 0, 0); }

void WindowBase::Minimize() {
  if (native_) native_->Minimize();
}

void WindowBase::ResizeClient(int width, int height) {
  if (native_) native_->Resize(width, height);
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
      if (OnClose()) native_->Destroy();
      break;
    case kMsgPresent:
      LOG(INFO) << " bring window to front";
      native_->Present();
      break;
    default:
      if (message >= kMsgUser) HandleCustomMessage(message, wParam, lParam);
      break;
  }
}

void WindowBase::OnNativeDestroyed() {
  MessageQueue::Instance().Unregister(this);
  classRegistration_.reset();
  // The backend calls this as the last thing of its destroy handler, so the
  // native object may go now.
  native_.reset();
  OnFinalMessage();
}

void WindowBase::SendNotify(const Notification& notification) {
  if (notification.type == L"click") OnClick(notification);
  Notify(notification);
}

void RunMessageLoop() { backend::RunLoop(); }
void PostQuitMessage() { backend::QuitLoop(); }

}  // namespace ui
