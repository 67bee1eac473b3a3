// The install flow after verification: runs the product installer silently,
// waits for it within InstallTimeout, reports the outcome, opens the product
// page, cleans up and launches the product.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "Common/FlowMessages.h"
#include "Common/ProcessState.h"
#include "Common/install_ui_mainwnd.h"
#include "EnumLanguage.h"
#include "FuntionImpl.h"
#include "Logging.h"
#include "platform/Encoding.h"
#include "platform/LocalTime.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/System.h"

namespace {

CSingleUserLog* EventLog() { return CSingleUserLog::GetInstance(); }

void Event(const char* category, const char* action, const std::string& label) {
  EventLog()->AddUserLog(category, action, label.c_str());
}

void Funnel(const char* coreFunction, int32_t step, const char* action) {
  EventLog()->AddUserLog_funnel("CoreFuncEvent", coreFunction, step, "Download", action, "null",
                                false, false);
}

int SecondsSince(uint32_t tick) {
  return static_cast<int>((platform::GetTickCount() - tick) / 1000);
}

// The process's command line is handed over in a buffer of this many wide
// characters, its terminating zero included.
constexpr size_t kCommandLineBuffer = 1024;

// "<downloader file name>" when it holds "_" (the distribution channel rides
// on it), else "null".
std::wstring TrackValue() {
  const std::wstring path = platform::GetModuleFilePath();
  const std::wstring name = path.substr(path.rfind(L'/') + 1);
  return name.find(L'_') != std::wstring::npos ? name : L"null";
}

// The installed product's language, where its installer keeps it.
void WriteInstalledProductLanguage(const std::wstring& softwareName, EnumLanguage language) {
  const std::wstring wow = L"SoftWare\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  const std::wstring native = L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  std::wstring key;
  if (platform::RegKeyExists(platform::HKEY_LOCAL_MACHINE, wow)) {
    key = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{" +
          softwareName + L"}_is1";
  } else if (platform::RegKeyExists(platform::HKEY_LOCAL_MACHINE, native)) {
    key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{" + softwareName + L"}_is1";
  } else {
    return;
  }
  platform::RegSetString(platform::HKEY_LOCAL_MACHINE, key, L"Inno Setup: Language",
                         platform::FromUtf8(LanguageInstallerCode(language)));
}

}  // namespace

void InstallUIMainWnd::SetInstallFolderText(const std::wstring& text) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  installFolderText_ = text;
}

std::wstring InstallUIMainWnd::InstallFolderText() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return installFolderText_;
}

std::wstring InstallUIMainWnd::UsedDownloadAddress() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return usedDownloadAddress_;
}

std::wstring InstallUIMainWnd::BuildInstallPath() const {
  std::wstring path = InstallFolderText();
  for (wchar_t& c : path)
    if (c == L'\\') c = L'/';
  const std::wstring name = product_.Text(L"Software_name");
  if (path.find(name) == std::wstring::npos) {
    if (!path.empty() && path.back() != L'/') path += L'/';
    path += name;
  }
  return path;
}

std::wstring InstallUIMainWnd::QuotedMainProgramPath() const {
  std::wstring program;
  configure_->Read([&program](const CConfigure& c) { program = c.Process_name; });
  if (program.empty()) program = product_.Text(L"Process_name");
  return L"\"" + BuildInstallPath() + L"/" + program + L"\"";
}

std::wstring InstallUIMainWnd::InstallerCommandLine() {
  std::wstring softwareName;
  int32_t downloaderId = 0;
  configure_->Read([&](const CConfigure& c) {
    softwareName = c.Software_name;
    downloaderId = c.Downloader_id;
  });
  const platform::SystemTime now = platform::GetLocalTime();
  wchar_t logName[512];
  std::swprintf(logName, sizeof logName / sizeof logName[0],
                L"%ls_Setup_%.4d%.2d%.2d%.2d%.2d%.2d.log", softwareName.c_str(), now.year,
                now.month, now.day, now.hour, now.minute, now.second);
  const std::wstring languageCode =
      platform::FromUtf8(LanguageInstallerCodeFor(GetCurrentLanguage(), downloaderId));
  return L" /VERYSILENT /SP- /NORESTART /DIR=\"" + BuildInstallPath() + L"/\" /LANG=" +
         languageCode + L" /LOG=\"" + EventLog()->GetLogFolder() + L"/" + logName +
         L"\" /sptrack " + TrackValue();
}

void InstallUIMainWnd::InstallAndLaunch(const std::wstring& packagePath) {
  const std::wstring commandLine = InstallerCommandLine();
  installerStartTick_.store(platform::GetTickCount());
  LOG(INFO) << " [Download File Path]: " << platform::ToUtf8(packagePath);
  LOG(INFO) << " [Start Install CmdLine]: " << platform::ToUtf8(commandLine);

  Event("Download", "5.ProgramInstall", AttemptLabel());
  Funnel("Installing", 0, "CoreFuncStart");
  Funnel("Installing", 1, "ProgramInstall");
  platform::ProcessHandle installer;
  // A command line that does not fit the buffer starts nothing; the wait
  // below then ends in the time-out, as for any installer that cannot start.
  if (commandLine.size() + 1 <= kCommandLineBuffer) {
    int error = 0;
    // Downloaded files are not executable here until they are marked so.
    platform::MarkExecutable(packagePath);
    if (!platform::CreateProcessWithApplication(packagePath, commandLine, std::wstring(),
                                                &installer, &error)) {
      LOG(INFO) << " Start installer failed: " << error;
    }
  } else {
    LOG(INFO) << " Start Install CmdLine too long: " << commandLine.size();
  }
  installerFinished_.store(0);
  PostFlowMessage(WM_INSTALL_STARTED);

  uint32_t limit = 0;
  configure_->Read(
      [&limit](const CConfigure& c) { limit = static_cast<uint32_t>(c.InstallTimeout); });
  uint32_t passes = 0;
  for (;;) {
    // Without a process every wait fails at once.
    if (installer.IsValid() && platform::WaitForProcess(installer, installerWaitPassMs_)) break;
    if (passes > limit) {
      Event("Other", "FlowError", "DL016");
      installerFinished_.store(1);
      Funnel("Installing", 0, "CoreFuncEnd");
      LOG(INFO) << " Cmd nWaitSeconds timed out: " << limit;
      PostFlowMessage(WM_INSTALL_TIMEOUT);
      return;
    }
    ++passes;
  }

  const uint32_t installerStart = installerStartTick_.load();
  Event("Other", "MInstallTime", std::to_string(SecondsSince(installerStart)));
  Funnel("Installing", 2, "ProgramFinsh");
  LOG(INFO) << " install Finished, nWaitSeconds: " << passes;
  installerFinished_.store(1);
  const int progress = ProgressValue();
  LOG(INFO) << " install Finished, progress: " << progress;
  if (progress >= 99) progressFinish100_.Set();

  Event("Download", "6.ProgramFinsh", AttemptLabel());
  Funnel("Installing", 0, "CoreFuncEnd");
  const int installSeconds = SecondsSince(installerStart);
  Event("Other", "InstallTime", std::to_string(installSeconds));
  std::wstring version;
  std::wstring softwareName;
  configure_->Read([&](const CConfigure& c) {
    version = c.Software_version;
    softwareName = c.Software_name;
  });
  if (!version.empty()) Event("Other", "ProductVersion", platform::ToUtf8(version));
  EventLog()->AddUserLog_funnelEx("RunningTime", "ActualTime", "InstCompletedClosed",
                                  std::to_string(installSeconds), false);

  SendProductPage();
  WriteInstalledProductLanguage(softwareName, GetCurrentLanguage());
  progressFinish100_.Wait(UINT32_MAX);
  PostFlowMessage(WM_INSTALL_FINISHED);

  const double minutes = (platform::GetTickCount() - downloadEndTick_.load()) / 60000.0;
  char totally[64];
  std::snprintf(totally, sizeof totally, "%.1f", std::trunc(minutes * 100.0) / 100.0);
  LOG(INFO) << " Install Totally Take " << totally << " minutes And Send To Server";
  ClearAPPData();
  if (ProductConfig::AutoRun()) RestartUnattended(packagePath);
  if (product_.Int(L"NeedStart_flag") == 1) {
    ui::Notification click;
    click.type = L"click";
    click.sender = FindControl(L"start_app");
    OnClick(click);
  }
}

void InstallUIMainWnd::SendProductPage() {
  int language = productPageLanguage_.load();
  if (language == -1) language = GetCurrentLanguage();
  const std::wstring address =
      product_.Text(LanguageProductUrlKey(static_cast<EnumLanguage>(language)));
  if (address.empty()) return;
  LOG(INFO) << " Open Url: " << platform::ToUtf8(address);
  platform::ShellOpen(address, nullptr);
}

// Unattended test runs start a fresh copy of the program for the next round.
void InstallUIMainWnd::RestartUnattended(const std::wstring& packagePath) {
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  LOG(INFO) << " Force Exit 1";
  if (platform::PathExists(packagePath)) platform::DeleteFile(packagePath);
  LOG(INFO) << " Force Exit 2";
  if (platform::PathExists(packagePath + L".xml")) platform::DeleteFile(packagePath + L".xml");
  LOG(INFO) << " Force Exit 3";
  if (platform::PathExists(packagePath + L".db")) platform::DeleteFile(packagePath + L".db");
  LOG(INFO) << " Force Exit 4";
  if (process_state::g_singleInstanceMutex != nullptr) {
    process_state::g_singleInstanceMutex->Release();
    process_state::g_singleInstanceMutex->Close();
  }
  LOG(INFO) << " Force Exit 5";
  const std::wstring self = platform::GetModuleFilePath().substr(0, 260);
  LOG(INFO) << " Force Exit 6";
  int error = 0;
  const bool started = platform::ShellOpenProgram(self, &error);
  LOG(INFO) << " Force Exit 7 error code = " << (started ? 1 : 0) << ", " << error;
  PostMessage(ui::kMsgClose, 0, 0);
  LOG(INFO) << " Force Exit 8";
}

void InstallUIMainWnd::OnClick(const ui::Notification& notification) {
  if (notification.sender != nullptr && notification.sender->GetName() == L"install_btn") {
    // Test builds exercise the crash handling from the Install button.
    if (ProductConfig::CrashTest()) FuntionImpl::RaiseCrashForTest();
    return;
  }
  const bool startApp = notification.sender == nullptr
                            ? notification.type == L"click"
                            : notification.sender->GetName() == L"start_app";
  if (!startApp) return;
  // The success view: launch the installed product.
  std::wstring extra;
  configure_->Read([&extra](const CConfigure& c) { extra = c.Extra_download_url; });
  if (extra.size() >= 4 && extra.compare(extra.size() - 4, 4, L".exe") != 0) return;
  Event("Download", "7.ProgramLaunch", "");
  Funnel("Starting", 0, "CoreFuncStart");
  Funnel("Starting", 1, "ProgramLaunch");
  StartProductFromWindow();
}

void InstallUIMainWnd::StartProductFromWindow() {
  productStarted_.store(true);
  // The launch animation comes with its own window; without it the product
  // starts at once.
  Event("Download", "9.StartWindow", "0");
  Funnel("Starting", 2, "StartWindow");
  Funnel("Starting", 0, "CoreFuncEnd");
  if (FuntionImpl::StartTargetMainExe(QuotedMainProgramPath(), product_.Int(L"admin_flag")) == -1)
    Event("Other", "FlowError", "DL019");
  PostMessage(ui::kMsgClose, 0, 0);
}
