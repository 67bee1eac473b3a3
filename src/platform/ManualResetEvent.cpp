#include "platform/ManualResetEvent.h"

#include <chrono>

namespace platform {

void ManualResetEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  changed_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool ManualResetEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

bool ManualResetEvent::Wait(uint32_t timeoutMs) const {
  std::unique_lock<std::mutex> lock(mutex_);
  if (timeoutMs == UINT32_MAX) {
    changed_.wait(lock, [this] { return set_; });
    return true;
  }
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; });
}

}  // namespace platform
