// How the test installer and its product behave, from the environment (the
// downloader passes its environment on to the installer, and the installer
// to the product it starts), each value read once at start:
//
//   VORNIK_PRODUCT_INSTALL_MS    how long the installation takes, in ms
//                                (default 1500, at most 3600000)
//   VORNIK_PRODUCT_INSTALL_EXIT  the installer's exit code on success (default 0)
//   VORNIK_PRODUCT_NET_VERSION   when set, the installer also writes
//                                NetFrameCheck.db asking for this .NET
//                                Framework version
//   VORNIK_PRODUCT_APP_STAY_MS   how long LumaclearApp.exe stays up after it
//                                has recorded its start, in ms (default 0,
//                                at most 3600000)
//
// A value that is not a number counts as missing.
#pragma once
#include <cstdint>
#include <string>

struct InstallerSettings {
  uint32_t installMs = 1500;
  int exitCode = 0;
  bool writeNetFrameCheck = false;
  std::string netFrameworkVersion;
  uint32_t appStayMs = 0;
};

InstallerSettings ReadInstallerSettings();
