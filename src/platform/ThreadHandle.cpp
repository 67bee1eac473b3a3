#include "platform/ThreadHandle.h"

#include <chrono>

namespace platform {

ThreadHandle::~ThreadHandle() {
  if (thread_.joinable()) thread_.join();
}

bool ThreadHandle::Start(std::function<void()> body) {
  if (thread_.joinable()) return false;
  auto state = std::make_shared<State>();
  try {
    thread_ = std::thread([state, body = std::move(body)] {
      body();
      std::lock_guard<std::mutex> lock(state->mutex);
      state->done = true;
      state->ended.notify_all();
    });
  } catch (const std::system_error&) {
    return false;
  }
  state_ = std::move(state);
  return true;
}

bool ThreadHandle::Wait(uint32_t timeoutMs) {
  if (!thread_.joinable()) return true;
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (!state_->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [this] { return state_->done; })) {
      return false;
    }
  }
  thread_.join();
  state_.reset();
  return true;
}

void ThreadHandle::Abandon() {
  if (thread_.joinable()) thread_.detach();
  state_.reset();
}

}  // namespace platform
