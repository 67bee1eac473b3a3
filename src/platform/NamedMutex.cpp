#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace platform {

// The process's one instance of a named mutex.
//
// Threads of this process exclude each other with the gate, a binary
// semaphore: a futex hand-over costs next to nothing, and unlike a mutex it
// may be given back by a thread other than the one that took it (Close gives
// back another thread's levels). The holder of the gate owns the mutex once it
// also holds the lock file. When a release finds threads of this process
// waiting, the lock file stays locked and passes with the gate, for at most
// kLongestHandOver at a stretch; under steady contention (the download
// workers' writes) this saves two system calls per hand-over, and another
// process still gets its turn at the next pause or after that stretch.
class NamedMutexObject {
 public:
  NamedMutexObject() { sem_init(&gate, 0, 1); }
  ~NamedMutexObject() { sem_destroy(&gate); }
  NamedMutexObject(const NamedMutexObject&) = delete;
  NamedMutexObject& operator=(const NamedMutexObject&) = delete;

  sem_t gate;
  std::atomic<int> waiters{0};  // threads waiting for the gate
  UniqueFd lockFile;
  // Guarded by the gate.
  bool fileLocked = false;
  std::chrono::steady_clock::time_point fileLockedSince;
  // Guarded by mutex.
  std::mutex mutex;
  std::thread::id owner;
  int level = 0;
  uint64_t generation = 0;  // counts ownership periods (0 -> 1 transitions of level)
};

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr auto kLongestHandOver = std::chrono::milliseconds(20);

enum class LockResult { kTaken, kHeldElsewhere, kFailed };

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::weak_ptr<NamedMutexObject>> objects;  // by lock file path
};

Registry& GetRegistry() {
  static Registry* registry = new Registry;  // never destroyed: handles may outlive statics
  return *registry;
}

std::string LockFilePath(const std::wstring& name) {
  return ToUtf8(GetRuntimeFolder()) + "/vornik-mutex-" + ToUtf8(SanitizeFileNamePart(name)) +
         ".lock";
}

int OpenLockFile(const std::string& path) {
  const int flags = O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  int fd = open(path.c_str(), O_RDWR | flags, 0666);
  // A lock file made by another user may be read-only for us; flock works on it all the same.
  if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  return fd;
}

std::shared_ptr<NamedMutexObject> OpenShared(const std::string& path, bool* existedInProcess) {
  Registry& registry = GetRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  for (auto it = registry.objects.begin(); it != registry.objects.end();)
    it = it->second.expired() ? registry.objects.erase(it) : std::next(it);
  auto found = registry.objects.find(path);
  if (found != registry.objects.end()) {
    // The last handle may have gone away on another thread since the sweep.
    if (auto existing = found->second.lock()) {
      *existedInProcess = true;
      return existing;
    }
  }
  *existedInProcess = false;
  const int fd = OpenLockFile(path);
  if (fd < 0) return nullptr;
  auto object = std::make_shared<NamedMutexObject>();
  object->lockFile.Reset(fd);
  registry.objects[path] = object;
  return object;
}

LockResult TryLockFile(NamedMutexObject& object) {
  for (;;) {
    if (flock(object.lockFile.Get(), LOCK_EX | LOCK_NB) == 0) {
      object.fileLocked = true;
      object.fileLockedSince = Clock::now();
      return LockResult::kTaken;
    }
    if (errno == EWOULDBLOCK) return LockResult::kHeldElsewhere;
    if (errno != EINTR) return LockResult::kFailed;
  }
}

void UnlockFile(NamedMutexObject& object) {
  if (!object.fileLocked) return;
  flock(object.lockFile.Get(), LOCK_UN);
  object.fileLocked = false;
}

bool TakeGate(NamedMutexObject& object, bool forever, Clock::time_point deadline) {
  object.waiters.fetch_add(1);
  int result;
  if (forever) {
    do {
      result = sem_wait(&object.gate);
    } while (result != 0 && errno == EINTR);
  } else {
    // sem_timedwait counts on the wall clock, which may jump: wait in short
    // steps and judge the deadline by the steady clock.
    for (;;) {
      const auto left = deadline - Clock::now();
      if (left <= Clock::duration::zero()) {
        result = sem_trywait(&object.gate);
        break;
      }
      const auto step = std::chrono::duration_cast<std::chrono::nanoseconds>(
          std::min<Clock::duration>(left, std::chrono::milliseconds(100)));
      timespec until{};
      clock_gettime(CLOCK_REALTIME, &until);
      const int64_t nanos = until.tv_nsec + step.count();
      until.tv_sec += static_cast<time_t>(nanos / 1000000000);
      until.tv_nsec = static_cast<long>(nanos % 1000000000);
      result = sem_timedwait(&object.gate, &until);
      if (result == 0 || (errno != ETIMEDOUT && errno != EINTR)) break;
    }
  }
  object.waiters.fetch_sub(1);
  return result == 0;
}

// A thread that leaves Wait without the mutex may have been the one a
// release kept the lock file for: unless someone else has the gate by now,
// let the file go, so that a mutex nobody owns never blocks other processes.
void LeaveWithoutOwning(NamedMutexObject& object) {
  if (sem_trywait(&object.gate) != 0) return;
  UnlockFile(object);
  sem_post(&object.gate);
}

void TakeOwnershipLocked(NamedMutexObject& object) {
  object.owner = std::this_thread::get_id();
  object.level = 1;
  ++object.generation;
}

// Called with object.mutex held by whoever gives up the levels.
void ReleaseLevelsLocked(NamedMutexObject& object, int levels) {
  object.level -= std::min(levels, object.level);
  if (object.level > 0) return;
  object.owner = std::thread::id();
  const bool handOver =
      object.waiters.load() > 0 && Clock::now() - object.fileLockedSince < kLongestHandOver;
  if (!handOver) UnlockFile(object);
  sem_post(&object.gate);
}

}  // namespace

NamedMutex::~NamedMutex() { Close(); }

NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : object_(std::move(other.object_)),
      ownedCount_(std::exchange(other.ownedCount_, 0)),
      ownedGeneration_(std::exchange(other.ownedGeneration_, 0)) {}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept {
  if (this != &other) {
    Close();
    object_ = std::move(other.object_);
    ownedCount_ = std::exchange(other.ownedCount_, 0);
    ownedGeneration_ = std::exchange(other.ownedGeneration_, 0);
  }
  return *this;
}

bool NamedMutex::Create(const std::wstring& name, bool initiallyOwned, bool* alreadyExisted) {
  Close();
  if (alreadyExisted) *alreadyExisted = false;
  bool existedInProcess = false;
  object_ = OpenShared(LockFilePath(name), &existedInProcess);
  if (!object_) return false;
  if (existedInProcess) {
    if (alreadyExisted) *alreadyExisted = true;
    return true;
  }
  if (!initiallyOwned && !alreadyExisted) return true;

  NamedMutexObject& object = *object_;
  // Another thread may have found the new object in the registry and taken it already.
  if (sem_trywait(&object.gate) != 0) {
    if (alreadyExisted) *alreadyExisted = true;
    return true;
  }
  const LockResult result = object.fileLocked ? LockResult::kTaken : TryLockFile(object);
  if (result == LockResult::kHeldElsewhere && alreadyExisted) *alreadyExisted = true;
  if (result != LockResult::kTaken || !initiallyOwned) {
    UnlockFile(object);  // only probed for *alreadyExisted
    sem_post(&object.gate);
    return true;
  }
  std::lock_guard<std::mutex> lock(object.mutex);
  TakeOwnershipLocked(object);
  ownedGeneration_ = object.generation;
  ownedCount_ = 1;
  return true;
}

bool NamedMutex::Wait(uint32_t timeoutMs) {
  if (!object_) return false;
  NamedMutexObject& object = *object_;
  const auto noteOwned = [this, &object] {
    if (ownedGeneration_ != object.generation) ownedCount_ = 0;
    ownedGeneration_ = object.generation;
    ++ownedCount_;
    return true;
  };
  {
    std::lock_guard<std::mutex> lock(object.mutex);
    if (object.level > 0 && object.owner == std::this_thread::get_id()) {
      ++object.level;
      return noteOwned();
    }
  }
  const bool forever = timeoutMs == UINT32_MAX;
  const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
  if (!TakeGate(object, forever, deadline)) {
    LeaveWithoutOwning(object);
    return false;
  }
  // The gate is ours; the lock file may still be locked from a hand-over.
  while (!object.fileLocked) {
    const LockResult result = TryLockFile(object);
    if (result == LockResult::kTaken) break;
    const auto now = Clock::now();
    if (result == LockResult::kFailed || (!forever && now >= deadline)) {
      sem_post(&object.gate);
      return false;
    }
    // Another process holds the lock file; poll it.
    std::this_thread::sleep_for(forever ? kPollInterval
                                        : std::min<Clock::duration>(kPollInterval, deadline - now));
  }
  std::lock_guard<std::mutex> lock(object.mutex);
  TakeOwnershipLocked(object);
  return noteOwned();
}

void NamedMutex::Release() {
  if (!object_) return;
  NamedMutexObject& object = *object_;
  std::lock_guard<std::mutex> lock(object.mutex);
  if (object.level == 0 || object.owner != std::this_thread::get_id()) return;
  if (ownedGeneration_ == object.generation && ownedCount_ > 0) --ownedCount_;
  ReleaseLevelsLocked(object, 1);
}

void NamedMutex::Close() {
  if (!object_) return;
  {
    NamedMutexObject& object = *object_;
    std::lock_guard<std::mutex> lock(object.mutex);
    if (ownedCount_ > 0 && ownedGeneration_ == object.generation && object.level > 0)
      ReleaseLevelsLocked(object, ownedCount_);
  }
  object_.reset();
  ownedCount_ = 0;
  ownedGeneration_ = 0;
}

}  // namespace platform
