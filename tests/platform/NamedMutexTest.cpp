#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "PlatformTestSupport.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "support/TestEnvironment.h"

using platform::NamedMutex;

namespace {

class NamedMutexTest : public ::testing::Test {
 protected:
  std::string LockFile(const std::string& sanitizedName) const {
    return env_.Runtime() + "/vornik-mutex-" + sanitizedName + ".lock";
  }

  testing_support::TestEnvironment env_;
};

// Runs fn on a new thread and returns its result.
template <typename Fn>
auto OnOtherThread(Fn fn) {
  return std::async(std::launch::async, fn).get();
}

// Whether some other open file description could take the lock file now.
bool OtherDescriptionCanLock(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return locked;
}

char ReadByte(int fd) {
  char c = 0;
  return read(fd, &c, 1) == 1 ? c : '\0';
}

void WriteByte(int fd, char c) { ASSERT_EQ(write(fd, &c, 1), 1); }

}  // namespace

TEST_F(NamedMutexTest, CreateOwnedWhenNew) {
  NamedMutex mutex;
  bool existed = true;
  ASSERT_TRUE(mutex.Create(L"ZEL_Downloader_277", true, &existed));
  EXPECT_FALSE(existed);
  EXPECT_TRUE(mutex.IsOpen());
  EXPECT_TRUE(platform::PathExists(platform_test::Wide(LockFile("ZEL_Downloader_277"))));
  EXPECT_FALSE(OtherDescriptionCanLock(LockFile("ZEL_Downloader_277")));
  EXPECT_FALSE(OnOtherThread([&] { return mutex.Wait(0); }));
  mutex.Release();
  EXPECT_TRUE(OtherDescriptionCanLock(LockFile("ZEL_Downloader_277")));
}

TEST_F(NamedMutexTest, NamesAreSanitizedForTheLockFile) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"a b/c", false, nullptr));
  EXPECT_TRUE(platform::PathExists(platform_test::Wide(LockFile("a_b_c"))));
}

TEST_F(NamedMutexTest, CreateNotOwnedLeavesItFree) {
  NamedMutex mutex;
  bool existed = true;
  ASSERT_TRUE(mutex.Create(L"mutex_for_downloadthread", false, &existed));
  EXPECT_FALSE(existed);
  EXPECT_TRUE(OnOtherThread([&] {
    const bool owned = mutex.Wait(0);
    mutex.Release();
    return owned;
  }));
}

TEST_F(NamedMutexTest, SecondCreateInProcessSeesAlreadyExisted) {
  NamedMutex first;
  ASSERT_TRUE(first.Create(L"ZEL_Downloader_0", true, nullptr));
  NamedMutex second;
  bool existed = false;
  ASSERT_TRUE(second.Create(L"ZEL_Downloader_0", true, &existed));
  EXPECT_TRUE(existed);
  // The same object: another thread cannot take it through the second handle.
  EXPECT_FALSE(OnOtherThread([&] { return second.Wait(10); }));
}

TEST_F(NamedMutexTest, AlreadyExistedEvenWhenNobodyOwnsIt) {
  NamedMutex first;
  ASSERT_TRUE(first.Create(L"m", false, nullptr));
  NamedMutex second;
  bool existed = false;
  ASSERT_TRUE(second.Create(L"m", true, &existed));
  EXPECT_TRUE(existed);  // and so, as on Windows, not owned through the second handle
  EXPECT_TRUE(OnOtherThread([&] {
    const bool owned = first.Wait(0);
    first.Release();
    return owned;
  }));
}

TEST_F(NamedMutexTest, OwnershipIsRecursivePerThread) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"recursive", true, nullptr));
  EXPECT_TRUE(mutex.Wait(0));
  EXPECT_TRUE(mutex.Wait(UINT32_MAX));
  mutex.Release();
  mutex.Release();
  EXPECT_FALSE(OnOtherThread([&] { return mutex.Wait(10); }));
  mutex.Release();
  EXPECT_TRUE(OnOtherThread([&] {
    const bool owned = mutex.Wait(1000);
    mutex.Release();
    return owned;
  }));
}

TEST_F(NamedMutexTest, ReleaseByANonOwnerDoesNothing) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"owned", true, nullptr));
  OnOtherThread([&] {
    mutex.Release();
    return 0;
  });
  EXPECT_FALSE(OnOtherThread([&] { return mutex.Wait(10); }));
  mutex.Release();
}

TEST_F(NamedMutexTest, WaitTimesOutWhileAnotherThreadOwnsAndSucceedsAfterRelease) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"contended", false, nullptr));
  std::promise<void> owned;
  std::promise<void> release;
  std::thread owner([&] {
    ASSERT_TRUE(mutex.Wait(UINT32_MAX));
    owned.set_value();
    release.get_future().wait();
    mutex.Release();
  });
  owned.get_future().wait();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(mutex.Wait(50));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  release.set_value();
  EXPECT_TRUE(mutex.Wait(5000));
  mutex.Release();
  owner.join();
  // Nobody owns it now, so no other process may be kept out.
  EXPECT_TRUE(OtherDescriptionCanLock(LockFile("contended")));
}

// Contended releases pass the lock file from thread to thread without
// unlocking it; a waiter that gives up must not leave it locked for nobody.
TEST_F(NamedMutexTest, WaitersThatGiveUpLeaveTheLockFileFree) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"giveup", false, nullptr));
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      NamedMutex own;
      own.Create(L"giveup", false, nullptr);
      while (!stop.load()) {
        if (own.Wait(t == 0 ? UINT32_MAX : 0)) own.Release();
      }
    });
  }
  // Let the threads hand the mutex around for a while.
  for (int round = 0; round < 2000; ++round) {
    ASSERT_TRUE(mutex.Wait(UINT32_MAX));
    mutex.Release();
  }
  stop = true;
  for (auto& thread : threads) thread.join();
  EXPECT_TRUE(OtherDescriptionCanLock(LockFile("giveup")));
}

TEST_F(NamedMutexTest, InfiniteWaitWakesOnRelease) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"forever", true, nullptr));
  std::promise<void> waiting;
  auto waiter = std::async(std::launch::async, [&] {
    NamedMutex own;
    own.Create(L"forever", false, nullptr);
    waiting.set_value();
    const bool result = own.Wait(UINT32_MAX);
    own.Release();
    return result;
  });
  waiting.get_future().wait();
  mutex.Release();
  EXPECT_TRUE(waiter.get());
}

TEST_F(NamedMutexTest, CloseGivesBackOwnership) {
  NamedMutex keeper;
  ASSERT_TRUE(keeper.Create(L"closing", false, nullptr));
  {
    NamedMutex owner;
    ASSERT_TRUE(owner.Create(L"closing", false, nullptr));
    ASSERT_TRUE(owner.Wait(0));
    ASSERT_TRUE(owner.Wait(0));
  }  // the destructor closes
  EXPECT_TRUE(OnOtherThread([&] {
    const bool owned = keeper.Wait(0);
    keeper.Release();
    return owned;
  }));
  // A handle closed from another thread (the restart path does this) also gives it back.
  NamedMutex owner;
  ASSERT_TRUE(owner.Create(L"closing", false, nullptr));
  ASSERT_TRUE(owner.Wait(0));
  OnOtherThread([&] {
    owner.Close();
    return 0;
  });
  EXPECT_FALSE(owner.IsOpen());
  EXPECT_TRUE(OnOtherThread([&] {
    const bool owned = keeper.Wait(0);
    keeper.Release();
    return owned;
  }));
}

TEST_F(NamedMutexTest, ClosingTheLastHandleReleasesTheLockFile) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"last", true, nullptr));
  EXPECT_FALSE(OtherDescriptionCanLock(LockFile("last")));
  mutex.Close();
  EXPECT_TRUE(OtherDescriptionCanLock(LockFile("last")));
  EXPECT_FALSE(mutex.Wait(0));  // a closed handle waits for nothing
}

TEST_F(NamedMutexTest, MovedHandleKeepsOwnership) {
  NamedMutex first;
  ASSERT_TRUE(first.Create(L"moved", true, nullptr));
  NamedMutex second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  EXPECT_TRUE(second.IsOpen());
  EXPECT_FALSE(OtherDescriptionCanLock(LockFile("moved")));
  NamedMutex third;
  third = std::move(second);
  third.Close();
  EXPECT_TRUE(OtherDescriptionCanLock(LockFile("moved")));
}

TEST_F(NamedMutexTest, LockFileIsCloseOnExec) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"cloexec", true, nullptr));
  const std::string target = LockFile("cloexec");
  int found = 0;
  DIR* fds = opendir("/proc/self/fd");
  ASSERT_NE(fds, nullptr);
  while (dirent* entry = readdir(fds)) {
    char link[4096] = {};
    const std::string fdPath = std::string("/proc/self/fd/") + entry->d_name;
    if (readlink(fdPath.c_str(), link, sizeof(link) - 1) <= 0 || target != link) continue;
    ++found;
    EXPECT_TRUE(fcntl(atoi(entry->d_name), F_GETFD) & FD_CLOEXEC);
  }
  closedir(fds);
  EXPECT_EQ(found, 1);
}

TEST_F(NamedMutexTest, ThreadsTakeTurns) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"turns", false, nullptr));
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      NamedMutex own;
      own.Create(L"turns", false, nullptr);
      for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(own.Wait(UINT32_MAX));
        ++counter;
        own.Release();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 800);
  EXPECT_TRUE(OtherDescriptionCanLock(LockFile("turns")));
}

TEST_F(NamedMutexTest, AnotherProcessHoldingItMeansAlreadyExisted) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    NamedMutex mutex;
    bool existed = true;
    const bool ok = mutex.Create(L"ZEL_Downloader_277", true, &existed) && !existed;
    char c = ok ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(3);
    for (;;) pause();  // holds the lock until killed
  }
  close(ready[1]);
  ASSERT_EQ(ReadByte(ready[0]), 'y');
  close(ready[0]);

  NamedMutex mutex;
  bool existed = false;
  ASSERT_TRUE(mutex.Create(L"ZEL_Downloader_277", true, &existed));
  EXPECT_TRUE(existed);
  EXPECT_FALSE(mutex.Wait(30));

  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(mutex.Wait(5000));  // the kernel let go of the dead child's lock
  mutex.Release();
}

TEST_F(NamedMutexTest, AnotherProcessSeesOurOwnershipUntilRelease) {
  NamedMutex mutex;
  ASSERT_TRUE(mutex.Create(L"shared", true, nullptr));
  int ask[2];
  int answer[2];
  ASSERT_EQ(pipe(ask), 0);
  ASSERT_EQ(pipe(answer), 0);
  const std::string path = LockFile("shared");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A fresh open file description, as an exec'd program would have.
    while (ReadByte(ask[0]) == '?') {
      const char c = OtherDescriptionCanLock(path) ? 'y' : 'n';
      if (write(answer[1], &c, 1) != 1) _exit(3);
    }
    _exit(0);
  }
  WriteByte(ask[1], '?');
  EXPECT_EQ(ReadByte(answer[0]), 'n');
  mutex.Release();
  WriteByte(ask[1], '?');
  EXPECT_EQ(ReadByte(answer[0]), 'y');
  WriteByte(ask[1], '.');
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int fd : {ask[0], ask[1], answer[0], answer[1]}) close(fd);
}
