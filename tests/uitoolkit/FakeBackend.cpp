#include "FakeBackend.h"

#include "uitoolkit/MessageQueue.h"
#include "uitoolkit/WindowBase.h"

namespace uitest {

bool FakeNativeWindow::Create(const std::wstring& t, uint32_t, int nx, int ny, int w, int h,
                              ui::NativeWindow*) {
  title = t;
  x = nx;
  y = ny;
  width = w;
  height = h;
  return true;
}

void FakeNativeWindow::Destroy() { owner_->OnNativeDestroyed(); }

void FakeNativeWindow::Resize(int w, int h) {
  width = w;
  height = h;
}

void FakeNativeWindow::Move(int nx, int ny) {
  x = nx;
  y = ny;
}

void FakeNativeWindow::GetRect(int* ox, int* oy, int* w, int* h) const {
  *ox = x;
  *oy = y;
  *w = width;
  *h = height;
}

bool FakeNativeWindow::SetTimer(uint32_t id, uint32_t elapseMs) {
  timers[id] = elapseMs;
  return true;
}

FakeBackend::FakeBackend() {
  ui::MessageQueue::Instance().SetWakeHook([this] {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_ = true;
    woken_.notify_all();
  });
}

FakeBackend::~FakeBackend() { ui::MessageQueue::Instance().SetWakeHook(nullptr); }

std::unique_ptr<ui::NativeWindow> FakeBackend::CreateNativeWindow(ui::WindowBase* owner) {
  auto native = std::make_unique<FakeNativeWindow>(owner);
  last_ = native.get();
  return native;
}

bool FakeBackend::Pump(bool stopOnQuit) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!woken_.wait_for(lock, kDeadline, [&] { return wake_ || (stopOnQuit && quit_); })) {
      timedOut_ = true;
      return false;
    }
    wake_ = false;
  }
  ui::MessageQueue::Instance().Dispatch();
  return true;
}

void FakeBackend::RunLoop() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (quit_) {
        quit_ = false;
        return;
      }
    }
    if (!Pump(true)) return;
  }
}

void FakeBackend::QuitLoop() {
  std::lock_guard<std::mutex> lock(mutex_);
  quit_ = true;
  woken_.notify_all();
}

void FakeBackend::RunModalLoop(const std::function<bool()>& finished) {
  while (!finished()) {
    if (!Pump(false)) return;
  }
}

}  // namespace uitest
