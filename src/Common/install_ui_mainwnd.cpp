#include "Common/install_ui_mainwnd.h"

#include <cstdio>

#include "Common/ProcessState.h"
#include "FuntionImpl.h"
#include "Logging.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "reportsdk/IWebLog.h"
#include "uitoolkit/MarkupBuilder.h"

InstallUIMainWnd::InstallUIMainWnd()
    // A tree of its own, so that the flow thread never reads the window's controls.
    : productTree_(ui::BuildFreeStandingTree(L"configure\\configure.xml")),
      product_(productTree_.get()),
      configure_(std::make_unique<CConfigure>(
          product_.Int(L"Downloader_id"), product_.Int(L"Language_id"), product_.Int(L"Site_id"))) {
  configure_->loadFromProductConfig(productTree_.get(), false);
}

InstallUIMainWnd::~InstallUIMainWnd() {
  RegisterDownloadProgress(nullptr);
  CSingleUserLog::GetInstance()->RegisterMainWindow(nullptr);
  // Starts the hidden run that delivers the telemetry backlog.
  DestroyReportObj();
  // Whatever WaitForAllThreadExit gave up on must not take the process down.
  for (platform::ThreadHandle& thread : threads_) thread.Abandon();
}

std::wstring InstallUIMainWnd::GetWindowClassName() const {
  return process_state::g_mainWindowClassName.empty() ? L"MV_UI_Frame"
                                                      : process_state::g_mainWindowClassName;
}

void InstallUIMainWnd::InitWindow() {
  LOG(INFO) << " InstallUIMainWnd InitWindow";
  CSingleUserLog::GetInstance()->RegisterMainWindow(this);
  windowStartTick_ = platform::GetTickCount();
  LogDownloaderInfo();
  SendStartupEvents();
}

std::wstring InstallUIMainWnd::GetProductVersion() const {
  std::wstring version;
  configure_->Read([&version](const CConfigure& c) { version = c.Software_version; });
  return version;
}

EnumLanguage InstallUIMainWnd::GetCurrentLanguage() const {
  return static_cast<EnumLanguage>(language_.load());
}

// The total is kept once per process: the flow's speed figure divides it.
void InstallUIMainWnd::UpdateDownloadProgress(int64_t /*downloaded*/, int64_t total) {
  int64_t none = 0;
  totalPackageSize_.compare_exchange_strong(none, total);
}

void InstallUIMainWnd::LogDownloaderInfo() {
  const FuntionImpl::FileProductInfo info =
      FuntionImpl::GetFileProductInfo(platform::GetModuleFilePath());
  LOG(INFO) << " Downloader info: " << platform::ToUtf8(info.productVersion) << "("
            << platform::ToUtf8(info.productName)
            << "), 64Bit: " << (FuntionImpl::IsWow64() ? "True" : "False")
            << ", proc_id=" << platform::GetCurrentProcessId();
  const double scale = FuntionImpl::GetDisplayMode(&screenWidth_, &screenHeight_);
  LOG(INFO) << " Screen: " << screenWidth_ << "*" << screenHeight_ << ", " << scale;
}

void InstallUIMainWnd::SendStartupEvents() {
  CSingleUserLog* log = CSingleUserLog::GetInstance();
  log->AddUserLog("CrashRate", "Start", "");
  log->AddUserLog_funnel("Keypoint", "null", 0, "CorePublicModule", "Start", "null", false, false);
  SendMachineEventsOnce();
  log->AddUserLog("Download", "1.Launch", "");
  log->AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 0, "Download", "CoreFuncStart", "null",
                         false, false);
  log->AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 1, "Download", "Launch", "null", false,
                         false);
  log->AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 0, "Download", "CoreFuncEnd", "null",
                         false, false);
  const uint32_t elapsed = platform::GetTickCount() - windowStartTick_;
  log->AddUserLog("Other", "ClickToShowTime", std::to_string(static_cast<int>(elapsed)).c_str());
}

// The machine's facts are reported once per machine, marked in the registry.
void InstallUIMainWnd::SendMachineEventsOnce() {
  static const wchar_t kKey[] = L"SOFTWARE\\Merovalent\\Downloader2.5.0";
  std::wstring marker;
  if (platform::RegQueryString(platform::HKEY_LOCAL_MACHINE, kKey, L"GA_PC", &marker) &&
      !marker.empty()) {
    return;
  }
  CSingleUserLog* log = CSingleUserLog::GetInstance();
  float version = 0;
  const std::string os =
      FuntionImpl::GetOSName(&version) + (FuntionImpl::IsWow64() ? " 64bit" : " 32bit");
  log->AddUserLog("PC", "SysOS", os.c_str());
  log->AddUserLog("PC", "SysLanguage", FuntionImpl::GetLocaleName().c_str());
  char resolution[32];
  std::snprintf(resolution, sizeof resolution, "%d*%d", screenWidth_, screenHeight_);
  log->AddUserLog("PC", "SysScreenResolution", resolution);
  platform::RegSetString(platform::HKEY_LOCAL_MACHINE, kKey, L"GA_PC", L"1");
}

bool InstallUIMainWnd::OnClose() {
  LOG(INFO) << " InstallUIMainWnd close";
  return true;
}

void InstallUIMainWnd::OnFinalMessage() { ui::PostQuitMessage(); }

void InstallUIMainWnd::WaitForAllThreadExit(uint32_t waitMs) {
  LOG(INFO) << "InstallUIMainWnd WaitForAllThreadExit";
  for (size_t slot = 0; slot < threads_.size(); ++slot) {
    platform::ThreadHandle& thread = threads_[slot];
    if (!thread.IsSet()) continue;
    if (!thread.Wait(waitMs)) {
      LOG(INFO) << " worker thread " << slot << " did not end in " << waitMs << " ms";
      thread.Abandon();
    }
  }
}
