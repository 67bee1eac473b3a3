#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "platform/ThreadHandle.h"

namespace {

TEST(ThreadHandle, TimedWaitThenJoin) {
  std::mutex mutex;
  std::condition_variable cv;
  bool release = false;
  platform::ThreadHandle thread;
  ASSERT_TRUE(thread.Start([&] {
    std::unique_lock<std::mutex> lock(mutex);
    cv.wait(lock, [&] { return release; });
  }));
  EXPECT_FALSE(thread.Start([] {}));  // one thread per handle
  EXPECT_FALSE(thread.Wait(20));
  EXPECT_TRUE(thread.IsSet());
  {
    std::lock_guard<std::mutex> lock(mutex);
    release = true;
  }
  cv.notify_all();
  EXPECT_TRUE(thread.Wait(10000));
  EXPECT_FALSE(thread.IsSet());
  EXPECT_TRUE(thread.Wait(0));  // an empty handle is already signalled
  EXPECT_TRUE(thread.Start([] {}));
}

}  // namespace
