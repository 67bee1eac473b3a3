// The report SDK's exported factory pair.
#include <mutex>

#include "Logging.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/IWebLog.h"
#include "reportsdk/WebLog.h"

namespace {

std::mutex g_objectMutex;
reportsdk::WebLog* g_object = nullptr;

// The object is stateless and never freed: "destroying" it only forgets it,
// so a thread that still holds the pointer while the process ends (the
// install flow finishing after the window closed) keeps a valid object.
reportsdk::WebLog* TheObject() {
  static reportsdk::WebLog* object = new reportsdk::WebLog();
  return object;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) IWebLog* GetReportObj() {
  std::lock_guard<std::mutex> lock(g_objectMutex);
  if (g_object == nullptr) g_object = TheObject();
  return g_object;
}

extern "C" __attribute__((visibility("default"))) void DestroyReportObj() {
  {
    std::lock_guard<std::mutex> lock(g_objectMutex);
    g_object = nullptr;
  }
  if (!platform::PathExists(platform::GetModuleFilePath())) return;
  if (!platform::ShellExecuteSelfHidden(L"-sendrestlogs")) {
    LOG(INFO) << " Start of the -sendrestlogs run failed";
  }
}
