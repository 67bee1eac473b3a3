// Message numbers the toolkit delivers to windows. The Windows values are
// kept so that window code reads like the programs it stands in for; custom
// messages of the program start at kMsgUser.
#pragma once
#include <cstdint>

namespace ui {

constexpr uint32_t kMsgClose = 0x0010;
constexpr uint32_t kMsgTimer = 0x0113;
constexpr uint32_t kMsgUser = 0x0400;
// Toolkit-internal: another process asked this window to come to the front.
constexpr uint32_t kMsgPresent = 0x8001;

// Window style bits, as the callers pass them.
constexpr uint32_t kStylePopup = 0x80000000u;
constexpr uint32_t kStyleSysMenu = 0x00080000u;
constexpr uint32_t kStyleMinimizeBox = 0x00020000u;

}  // namespace ui
