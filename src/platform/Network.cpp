#include "platform/Network.h"

#include <dirent.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/Environment.h"
#include "platform/MachineFiles.h"

namespace platform {
namespace {

constexpr long kArpLoopback = 772;  // ARPHRD_LOOPBACK
constexpr unsigned long kIffUp = 0x1;
constexpr unsigned long kIffLoopback = 0x8;

std::atomic<int> g_forced{-1};

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

std::vector<std::string> InterfaceNames(const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return names;
  while (const dirent* entry = readdir(dir.get()))
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  return names;
}

// A sysfs number: decimal, or hexadecimal with "0x" (flags); -1 when malformed.
long ReadNumber(const std::string& path) {
  const std::string text = machine_files::ReadTrimmedFirstLine(path, 32);
  if (text.empty()) return -1;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 0);
  return (end == nullptr || *end != '\0' || value < 0) ? -1 : value;
}

bool InterfaceAliveAt(const std::string& base, const std::string& name) {
  const long type = ReadNumber(base + "/type");
  const long flags = ReadNumber(base + "/flags");
  if (type == kArpLoopback || (type < 0 && name == "lo")) return false;
  if (flags < 0 || (flags & kIffLoopback) != 0 || (flags & kIffUp) == 0) return false;
  const std::string operstate = machine_files::ReadTrimmedFirstLine(base + "/operstate", 32);
  if (operstate == "up") return true;
  return operstate == "unknown" && machine_files::ReadTrimmedFirstLine(base + "/carrier", 8) == "1";
}

int ForcedByEnvironment() {
  const std::string value = environment::GetEnv("VORNIK_NETWORK_ALIVE");
  if (value == "0") return 0;
  if (value == "1") return 1;
  return -1;
}

}  // namespace

bool IsNetworkAlive() {
  const int forced = g_forced.load();
  if (forced >= 0) return forced == 1;
  const int fromEnvironment = ForcedByEnvironment();
  if (fromEnvironment >= 0) return fromEnvironment == 1;
  const std::string folder = machine_files::SysfsRoot() + "/class/net";
  for (const std::string& name : InterfaceNames(folder))
    if (InterfaceAliveAt(folder + "/" + name, name)) return true;
  return false;
}

void ForceNetworkAliveForTesting(int answer) { g_forced.store(answer < 0 ? -1 : (answer ? 1 : 0)); }

}  // namespace platform
