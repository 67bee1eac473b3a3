#include "uitoolkit/ResourcePackage.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "uitoolkit/SkinPackage.h"

namespace ui {
namespace {

std::atomic<const SkinPackage*> g_current{nullptr};

// Every package ever made current, so that pointers handed out stay valid.
std::mutex& KeptMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<std::unique_ptr<SkinPackage>>& Kept() {
  static auto* kept =
      new std::vector<std::unique_ptr<SkinPackage>>();  // never destroyed: readers may run at exit
  return *kept;
}

}  // namespace

bool SetResourcePackage(const void* data, std::size_t size) {
  auto package = std::make_unique<SkinPackage>();
  if (!package->Open(data, size)) return false;
  std::lock_guard<std::mutex> lock(KeptMutex());
  Kept().push_back(std::move(package));
  g_current.store(Kept().back().get(), std::memory_order_release);
  return true;
}

const SkinPackage* GetResourcePackage() { return g_current.load(std::memory_order_acquire); }

}  // namespace ui
