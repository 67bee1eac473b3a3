#include "ProductApp.h"

#include <chrono>
#include <thread>

#include "ProductIdentity.h"
#include "platform/Encoding.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"
#include "platform/Processes.h"

int RunProductApp(const InstallerSettings& settings, const std::string& arguments) {
  const std::wstring record =
      platform::GetModuleFolder() + platform::FromUtf8(product::kStartRecord);
  // Two products started at once must not lose each other's line.
  platform::FileLock lock(record + L".lock");
  if (!lock.Lock(10000)) return 1;
  std::string lines;
  platform::ReadWholeFile(record, &lines);  // none yet at the first start
  lines += "started pid=" + std::to_string(platform::GetCurrentProcessId()) + " args=" + arguments +
           "\n";
  if (!platform::WriteFileAtomically(record, lines)) return 1;
  lock.Unlock();
  std::this_thread::sleep_for(std::chrono::milliseconds(settings.appStayMs));
  return 0;
}
