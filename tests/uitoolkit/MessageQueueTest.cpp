#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "uitoolkit/MessageQueue.h"

namespace {

class Recorder : public ui::MessageTarget {
 public:
  void DeliverPostedMessage(uint32_t message, uintptr_t wParam, intptr_t) override {
    received.emplace_back(message, wParam);
    if (onMessage) onMessage(message);
  }
  std::vector<std::pair<uint32_t, uintptr_t>> received;
  std::function<void(uint32_t)> onMessage;
};

class MessageQueueTest : public testing::Test {
 protected:
  void SetUp() override {
    queue_.SetWakeHook([this] { ++wakes_; });
    queue_.Register(&window_);
  }
  void TearDown() override {
    queue_.Unregister(&window_);
    queue_.Dispatch();
    queue_.SetWakeHook(nullptr);
  }
  ui::MessageQueue& queue_ = ui::MessageQueue::Instance();
  Recorder window_;
  std::atomic<int> wakes_{0};
};

TEST_F(MessageQueueTest, PostsFromManyThreadsArriveInEachThreadsOrder) {
  constexpr int kThreads = 4, kPerThread = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < kPerThread; ++i) {
        ASSERT_TRUE(queue_.Post(&window_, 0x400 + t, static_cast<uintptr_t>(i), 0));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_GE(wakes_.load(), 1);
  while (queue_.Pending() > 0) queue_.Dispatch();
  ASSERT_EQ(window_.received.size(), size_t(kThreads * kPerThread));
  std::vector<uintptr_t> next(kThreads, 0);
  for (const auto& [message, index] : window_.received) {
    EXPECT_EQ(index, next[message - 0x400]++);
  }
}

TEST_F(MessageQueueTest, MessagesForAGoneWindowAreDropped) {
  Recorder other;
  queue_.Register(&other);
  queue_.Post(&other, 1, 0, 0);
  queue_.Post(&window_, 2, 0, 0);
  queue_.Unregister(&other);
  EXPECT_FALSE(queue_.Post(&other, 3, 0, 0));
  EXPECT_EQ(queue_.Dispatch(), 1u);
  EXPECT_TRUE(other.received.empty());
  ASSERT_EQ(window_.received.size(), 1u);
}

TEST_F(MessageQueueTest, NestedDispatchKeepsTheOrder) {
  // A handler that runs a nested loop (a modal dialog) must see the later
  // messages in order, and the outer loop must not deliver them again.
  window_.onMessage = [this](uint32_t message) {
    if (message == 1) {
      queue_.Post(&window_, 4, 0, 0);
      queue_.Dispatch();
    }
  };
  for (uint32_t message : {1u, 2u, 3u}) queue_.Post(&window_, message, 0, 0);
  while (queue_.Pending() > 0) queue_.Dispatch();
  std::vector<uint32_t> order;
  for (const auto& received : window_.received) order.push_back(received.first);
  EXPECT_EQ(order, (std::vector<uint32_t>{1, 2, 3, 4}));
}

}  // namespace
