#include "InstallerSettings.h"

#include <cstdlib>
#include <string>

namespace {

constexpr long long kLongest = 3600000;

// The variable as a number in [low, high]; fallback when unset or not a number.
long long Number(const char* name, long long fallback, long long low, long long high) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (*end != '\0') return fallback;
  return value < low ? low : value > high ? high : value;
}

}  // namespace

InstallerSettings ReadInstallerSettings() {
  InstallerSettings settings;
  settings.installMs =
      static_cast<uint32_t>(Number("VORNIK_PRODUCT_INSTALL_MS", settings.installMs, 0, kLongest));
  settings.exitCode = static_cast<int>(Number("VORNIK_PRODUCT_INSTALL_EXIT", 0, 0, 255));
  if (const char* version = std::getenv("VORNIK_PRODUCT_NET_VERSION")) {
    settings.writeNetFrameCheck = true;
    settings.netFrameworkVersion = version;
  }
  settings.appStayMs = static_cast<uint32_t>(Number("VORNIK_PRODUCT_APP_STAY_MS", 0, 0, kLongest));
  return settings;
}
