// The program for the crash tests: the real program's entry for every run,
// plus two runs that crash through the crash test's own entry, as the Install
// click does with CrashTest set, with a dump shipping mode as if a download
// configuration had brought it:
//
//   --crash-after-log MODE     the entry's start-up (filter, log, single-
//                              instance mutex), then the crash
//   --crash-without-log MODE   the same without a log (no log name)
//
// The real program learns its shipping mode only from a download
// configuration, which these tests do not serve; the " -dmp " run that the
// crash starts is this program again, so it runs the real entry.
#include <cstdlib>
#include <memory>
#include <string>

#include "Common/ProcessState.h"
#include "Common/UnhandledExceptionHandler.h"
#include "Common/wWndMain.h"
#include "FuntionImpl.h"
#include "Logging.h"
#include "SingleUserLog.h"
#include "platform/Console.h"
#include "platform/Encoding.h"
#include "platform/NamedMutex.h"
#include "platform/ProcessCommandLine.h"

namespace {

[[noreturn]] void CrashWithShippingMode(int32_t mode, bool withLog) {
  InstallUnhandledExceptionFilter();
  CSingleUserLog* logger = CSingleUserLog::GetInstance();
  if (withLog) {
    logger->InitLogPath(L"lumaclear_setup");
    vornik_log::ConfigureFileLog(platform::ToUtf8(logger->GetLogFilePath()));
  }
  UpdateUnhandledExceptionFilterPaths();
  static platform::NamedMutex mutex;
  mutex.Create(L"ZEL_Downloader_127", true, nullptr);
  process_state::g_singleInstanceMutex = &mutex;
  process_state::g_downloaderId = 127;
  logger->SetDownloadSettings(mode, 0, 0, 0);
  LOG(INFO) << " Crash test with dump shipping mode " << mode;
  FuntionImpl::RaiseCrashForTest();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3) {
    const std::string run = argv[1];
    const int32_t mode = std::atoi(argv[2]);
    if (run == "--crash-after-log") CrashWithShippingMode(mode, true);
    if (run == "--crash-without-log") CrashWithShippingMode(mode, false);
  }
  platform::DetachStandardOutput();
  return wWinMain(nullptr, nullptr, platform::JoinArguments(argc, argv), 1);
}
