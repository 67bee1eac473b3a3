// The UI thread's queue of posted window messages.
//
// Post may be called from any thread; it never blocks on the UI thread. The
// backend installs a wake-up hook that schedules Dispatch on the UI thread.
// Dispatch delivers the messages in the order they were posted, each to its
// window if that window is still registered; a message for a window that has
// gone away is dropped. While a message is being handled, the rest of the
// queue keeps a wake-up pending, so a nested (modal) loop inside the handler
// delivers them, still in order. Windows register themselves on the UI thread.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>

namespace ui {

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual void DeliverPostedMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

class MessageQueue {
 public:
  static MessageQueue& Instance();

  void SetWakeHook(std::function<void()> wake);
  bool HasWakeHook() const;
  void Register(MessageTarget* target);
  void Unregister(MessageTarget* target);
  bool IsRegistered(MessageTarget* target) const;

  // False when the target is not (or no longer) registered.
  bool Post(MessageTarget* target, uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Delivers at most what is queued now, in order; messages posted meanwhile
  // wait for the next wake-up. Returns the number delivered.
  size_t Dispatch();
  size_t Pending() const;

 private:
  void RewakeIfPending();
  struct Entry {
    MessageTarget* target;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  };
  mutable std::mutex mutex_;
  std::deque<Entry> queue_;
  std::set<MessageTarget*> targets_;
  std::function<void()> wake_;
  bool wakePending_ = false;
};

}  // namespace ui
