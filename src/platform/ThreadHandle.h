// A joinable thread with a timed wait (_beginthreadex + WaitForSingleObject).
//
// Start and Wait belong to the owning thread; the body runs on the new thread.
// The destructor waits for the body without a limit, so an owner that must not
// block uses Wait with a time-out first; a thread still running after a timed
// out Wait is detached by Abandon() and may outlive the handle.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class ThreadHandle {
 public:
  ThreadHandle() = default;
  ~ThreadHandle();
  ThreadHandle(const ThreadHandle&) = delete;
  ThreadHandle& operator=(const ThreadHandle&) = delete;

  // False when a thread is already set on this handle or cannot be started.
  bool Start(std::function<void()> body);
  bool IsSet() const { return thread_.joinable(); }
  // True when the body has ended within timeoutMs; the thread is then joined
  // and the handle is free again.
  bool Wait(uint32_t timeoutMs);
  // Lets a thread that did not end run on without this handle.
  void Abandon();

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
  };
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace platform
