#include "uitoolkit/Backend.h"

#include <atomic>

namespace ui {
namespace {

std::atomic<Backend*> g_backend{nullptr};

}  // namespace

Backend& GetBackend() {
  Backend* chosen = g_backend.load();
  return chosen != nullptr ? *chosen : DefaultBackend();
}

void SetBackend(Backend* backend) { g_backend.store(backend); }

}  // namespace ui
