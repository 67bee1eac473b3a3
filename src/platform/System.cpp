#include "platform/System.h"

#include <sys/utsname.h>
#include <time.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "Logging.h"

namespace platform {
namespace {

bool IsMachine64Bit(const char* machine) {
  // x86_64, aarch64, arm64, ppc64(le), mips64, riscv64, sparc64, loongarch64, s390x, alpha, ia64
  return std::strstr(machine, "64") != nullptr || std::strcmp(machine, "s390x") == 0 ||
         std::strcmp(machine, "alpha") == 0;
}

}  // namespace

uint64_t GetTickCount64() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

bool IsWow64Process(bool* runsOn64BitSystem) {
  if (runsOn64BitSystem == nullptr) return false;
  const char* forced = std::getenv("VORNIK_FORCE_32BIT_OS");
  if (forced != nullptr && std::strcmp(forced, "unavailable") == 0) return false;
  if (forced != nullptr && std::strcmp(forced, "1") == 0) {
    *runsOn64BitSystem = false;
    return true;
  }
  utsname name{};
  if (uname(&name) != 0) return false;
  *runsOn64BitSystem = IsMachine64Bit(name.machine);
  return true;
}

bool CoInitializeApartment() { return true; }

void CoUninitialize() {}

uint32_t CreateFirewallManager() {
  static std::atomic<bool> logged{false};
  if (!logged.exchange(true))
    LOG(INFO) << " platform: there is no Windows Firewall here; the firewall manager class is not"
                 " registered";
  return kClassNotRegistered;
}

}  // namespace platform
