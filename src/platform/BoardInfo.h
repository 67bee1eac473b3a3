// The main board's maker and product, the stand-in for the registry values
// "BaseBoardManufacturer" and "BaseBoardProduct": the firmware's DMI texts
// <sysfs>/class/dmi/id/board_vendor and board_name, where <sysfs> is
// $VORNIK_SYSFS_ROOT when set, else /sys. Any thread; read at every call.
#pragma once
#include <string>

namespace platform {

// The first line, blanks at both ends removed, UTF-8 (invalid bytes become
// U+FFFD), at most 256 bytes read; "" when unreadable.
std::string GetBoardVendor();
std::string GetBoardName();

}  // namespace platform
