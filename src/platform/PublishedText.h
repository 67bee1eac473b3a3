// A text that ordinary code sets and a crash signal handler reads at any
// moment: Set publishes a new copy whole, so a reader sees the old text or
// the new one, never a mix. Earlier copies stay allocated for the life of
// the process (a crash may still be reading one), so set it a few times at
// start-up, not in a loop.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class PublishedText {
 public:
  PublishedText() = default;
  PublishedText(const PublishedText&) = delete;
  PublishedText& operator=(const PublishedText&) = delete;

  // Any thread; setters are serialised.
  void Set(const std::string& text);
  // Async-signal-safe: the zero-terminated text, "" before the first Set.
  const char* Get() const;

 private:
  std::atomic<const char*> current_{nullptr};
  std::mutex mutex_;
  std::vector<std::unique_ptr<char[]>> copies_;
};

}  // namespace platform
