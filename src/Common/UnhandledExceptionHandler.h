// The crash handler of the process: on a crash it releases the
// single-instance mutex, writes a minidump beside the run's log (or, without
// a log, into the temporary folder) and, when the download configuration
// asks for dumps (Downloader_config 1 or 2), starts the hidden " -dmp " run
// that ships the log and the dump.
//
// The handler runs on the crashed thread while other threads may go on
// (platform/CrashHandler.h), so it only uses what was prepared beforehand:
// the paths, the version text and the argument vector of the " -dmp " run are
// set up by the two calls below, on the first thread during start-up.
#pragma once

namespace platform {
struct CrashContext;
}

// Installs UnhandledExceptionHandler for the whole process. First thing in
// wWinMain: until the log is set up, a dump goes to the temporary folder.
void InstallUnhandledExceptionFilter();

// Notes the event logger's log file (dumps go beside it, the handler's lines
// into it) and prepares the " -dmp <log file name>" run. Called after the
// log set-up, whether a log was configured or not. Without a log file there
// is nothing a " -dmp " run could ship (its log folder is unknown too), so
// then no run is prepared and a crash only leaves the dump.
void UpdateUnhandledExceptionFilterPaths();

// The filter: returns 1, and the process then ends by its signal.
// Async-signal-safe.
int UnhandledExceptionHandler(const platform::CrashContext* exceptionPointers);
