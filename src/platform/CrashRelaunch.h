// The shell's "open" on this program, hidden, from inside a crash signal
// handler (ShellExecuteSelfHidden in Processes.h is the ordinary form).
//
// The program and its arguments are prepared beforehand, because splitting
// a command line and converting texts allocate. The crash starts the program
// with a raw fork (no fork handlers, no locks), in a session of its own,
// with standard input, output and error on /dev/null, no other inherited
// descriptor and no blocked signal; the child outlives the crashed process.
#pragma once
#include <string>

namespace platform {

// Notes the run a crash will start: GetModuleFilePath() with parameters
// split as Windows splits them. Empty parameters: no run. Ordinary code.
void PrepareCrashRelaunch(const std::wstring& parameters);

// Starts the prepared run. False when none is prepared or fork failed (a
// program that cannot be executed shows only in the child, which then ends
// with 127). Async-signal-safe.
bool RelaunchFromCrash();

}  // namespace platform
