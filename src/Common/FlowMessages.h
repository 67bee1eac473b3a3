// The custom messages the install flow posts to the main window. wParam is 0
// unless a message says otherwise; lParam is always 0.
#pragma once
#include <cstdint>

enum FlowMessage : uint32_t {
  WM_DOWNLOAD_FAILED = 2944,    // wParam: 14 without an address, else the last round's result
  WM_DOWNLOAD_FINISHED = 2945,  // the package is no Windows installer; the flow ends
  WM_VERIFY_STARTED = 2946,
  WM_INSTALL_STARTED = 2947,
  WM_INSTALL_TIMEOUT = 2948,
  WM_INSTALL_FINISHED = 2949,
  WM_MD5_FAILED = 2950,  // the installer's signature is not valid
};

// wParam of WM_DOWNLOAD_FAILED when the configuration offers no address.
constexpr uintptr_t kNoDownloadAddress = 14;
