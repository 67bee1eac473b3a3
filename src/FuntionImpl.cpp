#include "FuntionImpl.h"

#include <cstdio>

#include "Logging.h"
#include "platform/Encoding.h"
#include "platform/System.h"

namespace FuntionImpl {

int AuthorizeSelfInFirewall(const std::wstring& imagePath) {
  if (!platform::CoInitializeApartment()) {
    std::printf("CoInitializeEx failed: 0x%08lx\n", 0x80004005ul);  // E_FAIL
    std::fflush(stdout);
    return -1;
  }
  // There is no firewall manager class to create on this system, so the
  // routine always ends on its set-up failure: no profile is reached, nothing
  // is looked up or authorised for imagePath, and there is no profile to
  // release before COM is left as it was found.
  (void)imagePath;
  const unsigned long result = platform::CreateFirewallManager();
  std::printf("CoCreateInstance failed: 0x%08lx\n", result);
  std::printf("WindowsFirewallInitialize failed: 0x%08lx\n", result);
  std::fflush(stdout);
  platform::CoUninitialize();
  return -1;
}

int PackAndUploadLogs(bool withDumps, const std::wstring& logFileName, const std::string& reason,
                      const std::wstring& extraFile) {
  // Shipping needs the archive writer and the upload service, which this
  // build does not have yet: the run reports what it would ship and ends.
  LOG(INFO) << " PackAndUploadLogs not available: " << reason << ", "
            << platform::ToUtf8(logFileName) << (withDumps ? ", with dumps" : "")
            << (extraFile.empty() ? "" : ", extra file ") << platform::ToUtf8(extraFile);
  return -1;
}

}  // namespace FuntionImpl
