// The installed product, LumaclearApp.exe: the test installer copied under
// that name. It appends one line, "started pid=<pid> args=<arguments>", to
// LumaclearApp.started beside itself (rewriting the file through a
// temporary one, under the lock file LumaclearApp.started.lock), stays up for
// VORNIK_PRODUCT_APP_STAY_MS (InstallerSettings.h) and exits 0, or 1 when the record cannot be
// written.
#pragma once
#include <string>

#include "InstallerSettings.h"

int RunProductApp(const InstallerSettings& settings, const std::string& arguments);
