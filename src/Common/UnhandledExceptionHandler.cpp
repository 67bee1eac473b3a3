#include "Common/UnhandledExceptionHandler.h"

#include <atomic>
#include <cerrno>
#include <string>

#include "Common/ProcessState.h"
#include "SingleUserLog.h"
#include "UploadProductLog.h"
#include "platform/CrashDumpFile.h"
#include "platform/CrashHandler.h"
#include "platform/CrashLog.h"
#include "platform/CrashMutexRelease.h"
#include "platform/CrashRelaunch.h"
#include "platform/Encoding.h"
#include "platform/MiniDumpWriter.h"
#include "platform/Paths.h"
#include "platform/PublishedText.h"
#include "platform/SignalSafeIo.h"
#include "platform/SignalSafeTime.h"

namespace {

using platform::signalsafe::Text;

constexpr size_t kPathBytes = 4096;

// Made before main and never destroyed, so a crash at any time finds them.
platform::PublishedText* const g_dumpBesideLog = new platform::PublishedText;  // "" without a log
platform::PublishedText* const g_tempFolder = new platform::PublishedText;
platform::PublishedText* const g_fileVersion = new platform::PublishedText;
// Set once the event logger exists; it holds the dump shipping mode.
std::atomic<CSingleUserLog*> g_eventLogger{nullptr};

void LogLine(const Text& line) { platform::WriteCrashLogLine(line.Get()); }

void ReleaseSingleInstanceMutex() {
  // The handle is read, not cleared: other threads may still look at it.
  if (process_state::g_singleInstanceMutex == nullptr) return;
  char nameBuffer[64];
  Text name(nameBuffer, sizeof nameBuffer);
  name.Append("ZEL_Downloader_").AppendDecimal(process_state::g_downloaderId);
  const platform::CrashMutexRelease result = platform::ReleaseNamedMutexFromCrash(name.Get());
  char lineBuffer[160];
  Text line(lineBuffer, sizeof lineBuffer);
  line.Append(" Release mutex:").AppendDecimal(result.released ? 1 : 0).Append(", ");
  line.AppendDecimal(result.releaseError).Append(", ").AppendDecimal(result.closed ? 1 : 0);
  line.Append(", ").AppendDecimal(result.closeError);
  LogLine(line);
}

// The log file path and ".dmp"; without a log, "<temp>/<id>_<version>_<time>.dmp".
void ChooseDumpPath(Text* path) {
  const char* besideLog = g_dumpBesideLog->Get();
  if (*besideLog != '\0') {
    path->Append(besideLog);
    return;
  }
  const platform::SystemTime now = platform::SignalSafeLocalTime();
  path->Append(g_tempFolder->Get()).AppendDecimal(process_state::g_downloaderId).Append("_");
  path->Append(g_fileVersion->Get()).Append("_").AppendPadded(now.year, 4);
  path->AppendPadded(now.month, 2).AppendPadded(now.day, 2).AppendPadded(now.hour, 2);
  path->AppendPadded(now.minute, 2).AppendPadded(now.second, 2);
  path->AppendPadded(now.milliseconds, 3).Append(".dmp");
}

void LogResult(const char* what, bool result, int error) {
  char buffer[96];
  Text line(buffer, sizeof buffer);
  line.Append(what).AppendDecimal(result ? 1 : 0).Append(", ").AppendDecimal(error);
  LogLine(line);
}

bool DumpsAreShipped() {
  const CSingleUserLog* logger = g_eventLogger.load();
  const int32_t mode = logger != nullptr ? logger->GetDownloaderConfig() : 0;
  return mode == 1 || mode == 2;
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.rfind(L'/');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

void InstallUnhandledExceptionFilter() {
  platform::PrepareMiniDumpWriter();
  platform::PrepareCrashMutexRelease();
  platform::PrepareCrashLog(std::string());
  g_tempFolder->Set(platform::ToUtf8(platform::GetTempFolder()));
  g_fileVersion->Set(OwnFileVersionText());
  platform::InstallCrashHandler(UnhandledExceptionHandler);
}

void UpdateUnhandledExceptionFilterPaths() {
  CSingleUserLog* logger = CSingleUserLog::GetInstance();
  const std::wstring logFile = logger->GetLogFilePath();
  platform::PrepareCrashLog(platform::ToUtf8(logFile));
  g_dumpBesideLog->Set(logFile.empty() ? std::string() : platform::ToUtf8(logFile + L".dmp"));
  platform::PrepareCrashRelaunch(logFile.empty() ? std::wstring()
                                                 : L" -dmp " + FileNameOf(logFile));
  g_eventLogger.store(logger);
}

int UnhandledExceptionHandler(const platform::CrashContext* exceptionPointers) {
  platform::WriteCrashLogLine(" Exception handler entered.");
  ReleaseSingleInstanceMutex();

  static char pathBuffer[kPathBytes];
  Text path(pathBuffer, sizeof pathBuffer);
  ChooseDumpPath(&path);
  platform::CrashDumpFile file;
  int error = 0;
  const bool created = !path.Truncated() && file.Create(path.Get(), &error);
  LogResult(" Create dmp file:", created, path.Truncated() ? ENAMETOOLONG : error);
  if (!created) return 1;

  const bool written = platform::WriteMiniDump(file.Descriptor(), *exceptionPointers);
  LogResult(" Write dmp file:", written, written ? 0 : errno);
  file.Close();
  if (written && DumpsAreShipped()) platform::RelaunchFromCrash();
  return 1;
}
