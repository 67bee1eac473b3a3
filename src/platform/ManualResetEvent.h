// A manual-reset event ("ProgressFinish100"): once set it stays set, and every
// wait returns at once, until Reset. In-process only. Any thread.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

class ManualResetEvent {
 public:
  void Set();
  void Reset();
  bool IsSet() const;
  // True when set before timeoutMs passes; UINT32_MAX waits without limit.
  bool Wait(uint32_t timeoutMs) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace platform
