#include "Common/wWndMain.h"

#include <curl/curl.h>

#include <cwchar>
#include <memory>

#include "Common/CommandLine.h"
#include "Common/ProcessState.h"
#include "Common/StartupValues.h"
#include "Common/UnhandledExceptionHandler.h"
#include "Common/install_ui_mainwnd.h"
#include "FuntionImpl.h"
#include "Logging.h"
#include "ProductConfig.h"
#include "SingleUserLog.h"
#include "platform/Console.h"
#include "platform/Encoding.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "platform/Resource.h"
#include "platform/System.h"
#include "platform/WindowRegistry.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "uitoolkit/SkinPackage.h"
#include "uitoolkit/SystemMessageBox.h"

namespace {

using platform::ToUtf8;

StartupValues LoadPackageAndStartupValues() {
  platform::ResourceBytes package;
  if (!platform::LoadResourceBytes(L"ZIPRES", 138, &package) ||
      !ui::SetResourcePackage(package.data, package.size)) {
    return StartupValues();
  }
  return ReadStartupValuesFromPackage();
}

void SetUpLog(const StartupValues& values) {
  const std::wstring logName = values.LogName();
  if (logName.empty()) return;
  CSingleUserLog* logger = CSingleUserLog::GetInstance();
  logger->InitLogPath(logName);
  vornik_log::ConfigureFileLog(ToUtf8(logger->GetLogFilePath()));
}

// "-dmp " and "-close" runs ship an earlier run's logs and end.
bool RunShippingIfAsked(const RunKind& run) {
  if (run.kind == RunKind::kInstaller) return false;
  FuntionImpl::PackAndUploadLogs(run.kind == RunKind::kCrashReport, run.logFileName,
                                 ToUtf8(run.reason), std::wstring());
  return true;
}

// True when another copy of this downloader already shows its window.
bool AnotherWindowIsUp(const StartupValues& values) {
  if (values.downloaderIdText.empty()) return false;
  process_state::g_mainWindowClassName = L"MV_UI_Frame_" + values.downloaderIdText;
  if (!platform::FindWindowByClass(process_state::g_mainWindowClassName)) return false;
  if (ProductConfig::AutoRun()) return false;
  platform::BringWindowToFront(process_state::g_mainWindowClassName);
  return true;
}

// False when another copy holds the downloader's mutex.
bool TakeSingleInstanceMutex(const StartupValues& values,
                             std::unique_ptr<platform::NamedMutex>* mutex) {
  wchar_t name[64];
  std::swprintf(name, 64, L"ZEL_Downloader_%d", values.downloaderId);
  auto created = std::make_unique<platform::NamedMutex>();
  bool alreadyExisted = false;
  created->Create(name, true, &alreadyExisted);
  if (alreadyExisted && !ProductConfig::AutoRun()) return false;
  *mutex = std::move(created);
  process_state::g_singleInstanceMutex = mutex->get();
  process_state::g_downloaderId = values.downloaderId;
  return true;
}

bool RefusesThirtyTwoBitSystem(const StartupValues& values) {
  if (values.support32System != L"0") return false;
  bool runsOn64Bit = false;
  if (platform::IsWow64Process(&runsOn64Bit) && runsOn64Bit) return false;
  CSingleUserLog::GetInstance()->AddUserLog("Other", "32bitStartupForbided", "");
  ui::ShowSystemMessageBox(L"Vornik Lumaclear", L"This program needs a 64-bit operating system.");
  return true;
}

void RunMainWindow(InstallUIMainWnd* window) {
  if (!window->Create(nullptr, L"Vornik Lumaclear",
                      ui::kStylePopup | ui::kStyleSysMenu | ui::kStyleMinimizeBox, 0, 0, 0, 600,
                      400)) {
    return;
  }
  window->CenterWindow();
  window->ShowWindow(true, true);
  ui::RunMessageLoop();
}

void Shutdown(std::unique_ptr<platform::NamedMutex>* mutex, InstallUIMainWnd* window) {
  process_state::g_singleInstanceMutex = nullptr;
  mutex->reset();
  LOG(INFO) << " Wait exit 1";
  window->WaitForAllThreadExit();
  LOG(INFO) << " Wait exit 2";
  CSingleUserLog::GetInstance()->WaitThreadForExit();
  LOG(INFO) << " Wait exit 3";
  // A post under way must not race the library's clean-up; what is left
  // stays in the backlog for the drain run.
  reportsdk::CNetworkCommunicate::StopInstanceIfRunning(3000);
  curl_global_cleanup();
  platform::CoUninitialize();
}

}  // namespace

int wWinMain(void* /*instance*/, void* /*previousInstance*/, const std::wstring& commandLine,
             int /*showCommand*/) {
  InstallUnhandledExceptionFilter();
  const RunKind run = ClassifyCommandLine(commandLine);
  if (run.debugConsole) platform::AllocConsole();

  const StartupValues values = LoadPackageAndStartupValues();
  curl_global_init(CURL_GLOBAL_ALL);
  SetUpLog(values);
  UpdateUnhandledExceptionFilterPaths();
  if (RunShippingIfAsked(run)) return 0;
  std::unique_ptr<platform::NamedMutex> mutex;
  // The drain run neither raises a window nor waits its turn behind the copy
  // that started it: the report SDK's own backlog lock orders the senders,
  // and a user who starts the installer again is not refused by a hidden run.
  if (run.drainRun) {
    LOG(INFO) << " Run to send the rest of the telemetry backlog";
  } else {
    if (AnotherWindowIsUp(values)) return 0;
    if (!TakeSingleInstanceMutex(values, &mutex)) return 0;
  }
  // In a drain run Init delivers the backlog and ends the process.
  const bool special = values.downloaderId == 277 || values.downloaderId == 278;
  CSingleUserLog::GetInstance()->Init(values.downloaderId, values.siteId,
                                      ToUtf8(values.softwareVersion), ToUtf8(values.softwareName),
                                      ToUtf8(values.downloadUrl), special, values.mainPid);
  if (RefusesThirtyTwoBitSystem(values)) return 0;
  if (!platform::CoInitializeApartment()) return 0;
  FuntionImpl::AuthorizeSelfInFirewall(platform::GetModuleFilePath());

  auto window = std::make_unique<InstallUIMainWnd>();
  RunMainWindow(window.get());
  Shutdown(&mutex, window.get());
  return 0;
}
