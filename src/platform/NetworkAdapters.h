// Network adapters and their hardware addresses, the stand-in for the
// adapter listings of the IP support library. Read from sysfs
// (<root>/class/net/<name>/{ifindex,type,address,addr_len}), where <root> is
// $VORNIK_SYSFS_ROOT when set, else /sys. Any thread; read at every call.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct NetworkAdapter {
  std::string name;
  bool ethernet = false;         // a wired Ethernet adapter (ARPHRD_ETHER, not wireless)
  std::vector<uint8_t> address;  // at most 8 bytes, as Windows keeps; empty when none
};

// The adapters except loopback ones, ordered by interface index (then name).
// An adapter whose address text is malformed is listed with no address.
std::vector<NetworkAdapter> GetNetworkAdapters();

}  // namespace platform
