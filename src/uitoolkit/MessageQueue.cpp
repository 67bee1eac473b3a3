#include "uitoolkit/MessageQueue.h"

namespace ui {

MessageQueue& MessageQueue::Instance() {
  static MessageQueue queue;
  return queue;
}

void MessageQueue::SetWakeHook(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_ = std::move(wake);
  wakePending_ = false;
}

bool MessageQueue::HasWakeHook() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<bool>(wake_);
}

void MessageQueue::Register(MessageTarget* target) {
  std::lock_guard<std::mutex> lock(mutex_);
  targets_.insert(target);
}

void MessageQueue::Unregister(MessageTarget* target) {
  std::lock_guard<std::mutex> lock(mutex_);
  targets_.erase(target);
}

bool MessageQueue::IsRegistered(MessageTarget* target) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return targets_.count(target) != 0;
}

bool MessageQueue::Post(MessageTarget* target, uint32_t message, uintptr_t wParam,
                        intptr_t lParam) {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (targets_.count(target) == 0) return false;
    queue_.push_back(Entry{target, message, wParam, lParam});
    // One wake-up covers everything queued until Dispatch runs.
    if (!wakePending_ && wake_) {
      wakePending_ = true;
      wake = wake_;
    }
  }
  if (wake) wake();
  return true;
}

size_t MessageQueue::Dispatch() {
  size_t budget;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    budget = queue_.size();
    wakePending_ = false;
  }
  // One message at a time, so that a handler running a nested (modal) loop
  // lets that loop deliver the rest in order.
  size_t delivered = 0;
  for (; budget > 0; --budget) {
    Entry entry{};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) break;
      entry = queue_.front();
      queue_.pop_front();
      // A window may have closed while an earlier message was handled.
      if (targets_.count(entry.target) == 0) continue;
    }
    // The handler may run a modal loop: it must find a wake-up waiting for
    // the rest of the queue, or those messages would sit there until it ends.
    RewakeIfPending();
    entry.target->DeliverPostedMessage(entry.message, entry.wParam, entry.lParam);
    ++delivered;
  }
  RewakeIfPending();
  return delivered;
}

void MessageQueue::RewakeIfPending() {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty() || wakePending_ || !wake_) return;
    wakePending_ = true;
    wake = wake_;
  }
  wake();
}

size_t MessageQueue::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

}  // namespace ui
