#include "Common/CommandLine.h"

RunKind ClassifyCommandLine(const std::wstring& commandLine) {
  RunKind run;
  run.debugConsole = commandLine == L"debug";
  run.drainRun = commandLine.find(L"-sendrestlogs") != std::wstring::npos;

  const size_t dump = commandLine.find(L"-dmp ");
  if (dump != std::wstring::npos) {
    run.kind = RunKind::kCrashReport;
    run.reason = L"CrashDmp";
    run.logFileName = commandLine.substr(dump + 5);
    return run;
  }
  const size_t close = commandLine.find(L"-close");
  if (close != std::wstring::npos) {
    // "-closeNN name": the reason follows the command line's first character
    // and the name starts nine characters after "-close" begins.
    run.kind = RunKind::kCloseReport;
    run.reason = commandLine.substr(1, 7);
    run.logFileName =
        close + 9 <= commandLine.size() ? commandLine.substr(close + 9) : std::wstring();
    return run;
  }
  return run;
}
