// The test installer's work, in the order a real one does it: wait the
// configured installation time, create the folder, put LumaclearApp.exe there
// (a copy of this program, which acts as the product under that name), write
// NetFrameCheck.db when asked to, write the uninstall key. Every step goes to
// the log. Files are written beside their target and renamed into place.
#pragma once
#include "InstallerSettings.h"
#include "InstallerSwitches.h"

// The exit code: settings.exitCode on success, 1 when the command line
// cannot be used (nothing is installed), 4 when a step fails.
int RunProductInstall(const InstallerSwitches& switches, const InstallerSettings& settings,
                      const std::string& commandLine);
