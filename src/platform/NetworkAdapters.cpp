#include "platform/NetworkAdapters.h"

#include <dirent.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/Encoding.h"
#include "platform/MachineFiles.h"
#include "platform/Paths.h"

namespace platform {
namespace {

constexpr long kArpEther = 1;       // ARPHRD_ETHER
constexpr long kArpLoopback = 772;  // ARPHRD_LOOPBACK
constexpr std::size_t kMaxAddressBytes = 8;

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

long ReadNumber(const std::string& path, long fallback) {
  const std::string text = machine_files::ReadTrimmedFirstLine(path, 32);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return fallback;
  return std::strtol(text.c_str(), nullptr, 10);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "aa:bb:cc:dd:ee:ff" -> bytes; empty for anything else.
std::vector<uint8_t> ParseAddress(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 3) {
    const int high = HexDigit(text[i]);
    const int low = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
    const bool separated = i + 2 == text.size() || (text[i + 2] == ':' && i + 3 < text.size());
    if (high < 0 || low < 0 || !separated) return {};
    if (bytes.size() < kMaxAddressBytes) bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return bytes;
}

std::vector<std::string> InterfaceNames(const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return names;
  while (const dirent* entry = readdir(dir.get()))
    if (entry->d_name[0] != '.') names.push_back(entry->d_name);
  return names;
}

}  // namespace

std::vector<NetworkAdapter> GetNetworkAdapters() {
  const std::string folder = machine_files::SysfsRoot() + "/class/net";
  std::vector<std::pair<long, NetworkAdapter>> indexed;
  for (const std::string& name : InterfaceNames(folder)) {
    const std::string base = folder + "/" + name;
    const long type = ReadNumber(base + "/type", -1);
    if (type == kArpLoopback || (type < 0 && name == "lo")) continue;
    NetworkAdapter adapter;
    adapter.name = name;
    adapter.ethernet = type == kArpEther && !PathExists(FromUtf8(base + "/wireless")) &&
                       !PathExists(FromUtf8(base + "/phy80211"));
    adapter.address = ParseAddress(machine_files::ReadTrimmedFirstLine(base + "/address", 256));
    indexed.emplace_back(ReadNumber(base + "/ifindex", LONG_MAX), std::move(adapter));
  }
  std::sort(indexed.begin(), indexed.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
  });
  std::vector<NetworkAdapter> adapters;
  for (auto& entry : indexed) adapters.push_back(std::move(entry.second));
  return adapters;
}

}  // namespace platform
