// The kinds of run the command line selects. Pure functions; any thread.
#pragma once
#include <string>

struct RunKind {
  enum Kind { kInstaller, kCrashReport, kCloseReport };
  Kind kind = kInstaller;
  // Exactly "debug": log lines also go to a console.
  bool debugConsole = false;
  // "-sendrestlogs" anywhere: the hidden run that only delivers the report
  // SDK's backlog. It takes no single-instance lock and shows no window.
  bool drainRun = false;
  // Shipping runs: the log file name (name and extension) of the reported run
  // and, for close reports, the reason "close01".."close07".
  std::wstring logFileName;
  std::wstring reason;
};

// commandLine is the Windows-style command line without the program name.
RunKind ClassifyCommandLine(const std::wstring& commandLine);
