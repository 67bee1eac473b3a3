#include "FuntionImpl.h"

#include <cstdio>

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

}  // namespace FuntionImpl
