// Where the process installs its crash filter, first thing in wWinMain.
#pragma once

// Installs the process-wide handler for crashes. Until the dump writer is
// part of this build it installs nothing, so a crash ends the process as the
// system's default handling does.
void InstallUnhandledExceptionFilter();
