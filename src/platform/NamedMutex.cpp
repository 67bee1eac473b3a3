#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace platform {

// The process's one instance of a named mutex. Every member is guarded by mutex.
class NamedMutexObject {
 public:
  std::mutex mutex;
  std::condition_variable released;  // signalled when level drops to 0
  UniqueFd lockFile;                 // flock held exactly while level > 0
  std::thread::id owner;
  int level = 0;
  uint64_t generation = 0;  // counts ownership periods (0 -> 1 transitions of level)
};

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

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
    if (flock(object.lockFile.Get(), LOCK_EX | LOCK_NB) == 0) return LockResult::kTaken;
    if (errno == EWOULDBLOCK) return LockResult::kHeldElsewhere;
    if (errno != EINTR) return LockResult::kFailed;
  }
}

void TakeOwnershipLocked(NamedMutexObject& object) {
  object.owner = std::this_thread::get_id();
  object.level = 1;
  ++object.generation;
}

void ReleaseLevelsLocked(NamedMutexObject& object, int levels) {
  object.level -= std::min(levels, object.level);
  if (object.level > 0) return;
  object.owner = std::thread::id();
  flock(object.lockFile.Get(), LOCK_UN);
  object.released.notify_all();
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
  std::lock_guard<std::mutex> lock(object.mutex);
  // Another thread may have found the new object in the registry and taken it already.
  const LockResult result = object.level > 0 ? LockResult::kHeldElsewhere : TryLockFile(object);
  if (result == LockResult::kHeldElsewhere && alreadyExisted) *alreadyExisted = true;
  if (result != LockResult::kTaken) return true;
  if (!initiallyOwned) {
    flock(object.lockFile.Get(), LOCK_UN);  // only probed for *alreadyExisted
    return true;
  }
  TakeOwnershipLocked(object);
  ownedGeneration_ = object.generation;
  ownedCount_ = 1;
  return true;
}

bool NamedMutex::Wait(uint32_t timeoutMs) {
  if (!object_) return false;
  NamedMutexObject& object = *object_;
  std::unique_lock<std::mutex> lock(object.mutex);
  const auto noteOwned = [this, &object] {
    if (ownedGeneration_ != object.generation) ownedCount_ = 0;
    ownedGeneration_ = object.generation;
    ++ownedCount_;
    return true;
  };
  if (object.level > 0 && object.owner == std::this_thread::get_id()) {
    ++object.level;
    return noteOwned();
  }
  const bool forever = timeoutMs == UINT32_MAX;
  const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
  for (;;) {
    if (object.level == 0) {
      const LockResult result = TryLockFile(object);
      if (result == LockResult::kFailed) return false;
      if (result == LockResult::kTaken) {
        TakeOwnershipLocked(object);
        return noteOwned();
      }
    }
    const auto now = Clock::now();
    if (!forever && now >= deadline) return false;
    if (object.level > 0 && forever) {
      object.released.wait(lock);  // another thread of ours owns it: Release wakes us
    } else if (object.level > 0) {
      object.released.wait_until(lock, deadline);
    } else {
      // Another process holds the lock file; poll it.
      object.released.wait_until(
          lock, forever ? now + kPollInterval : std::min(now + kPollInterval, deadline));
    }
  }
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
