#include "IDownloadProgress.h"

#include <mutex>

namespace {

std::mutex& ReceiverMutex() {
  static std::mutex mutex;
  return mutex;
}

IDownloadProgress* g_receiver = nullptr;  // guarded by ReceiverMutex()

}  // namespace

void RegisterDownloadProgress(IDownloadProgress* receiver) {
  std::lock_guard<std::mutex> lock(ReceiverMutex());
  g_receiver = receiver;
}

bool ReportDownloadProgress(int64_t downloaded, int64_t total) {
  std::lock_guard<std::mutex> lock(ReceiverMutex());
  if (g_receiver == nullptr) return false;
  g_receiver->UpdateDownloadProgress(downloaded, total);
  return true;
}
