#include "ProductInstall.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "InstallerLog.h"
#include "ProductIdentity.h"
#include "platform/Encoding.h"
#include "platform/FileLock.h"
#include "platform/LocalTime.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSetupFailedToInitialize = 1;
constexpr int kSetupFailedDuringInstall = 4;

// Copies this program to target through a temporary file beside it.
bool PlaceMainExecutable(const std::string& target) {
  const fs::path self(platform::ToUtf8(platform::GetModuleFilePath()));
  const std::string temporary = target + ".installing";
  std::error_code failed;
  fs::copy_file(self, temporary, fs::copy_options::overwrite_existing, failed);
  if (!failed) {
    fs::permissions(temporary,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    failed);
  }
  if (!failed) fs::rename(temporary, target, failed);
  if (!failed) return true;
  std::error_code ignored;
  fs::remove(temporary, ignored);
  return false;
}

bool WriteNetFrameCheck(const std::string& folder, const std::string& version) {
  const std::string text =
      "[Settings]\nNetFrameworkVersion=" + version + "\n[Text]\nTitle=.NET Framework needed\n";
  return platform::WriteFileAtomically(platform::FromUtf8(folder + "/NetFrameCheck.db"), text);
}

std::string InstallDate() {
  const platform::SystemTime now = platform::GetLocalTime();
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", now.year, now.month, now.day);
  return date;
}

bool WriteUninstallKey(const InstallerSwitches& switches, std::wstring* key) {
  using platform::HKEY_LOCAL_MACHINE;
  *key = product::kUninstallRoot + platform::FromUtf8(std::string("{") + product::kName + "}_is1");
  const std::wstring dir = platform::FromUtf8(switches.dir);
  const std::wstring exe = dir + L"/" + platform::FromUtf8(product::kMainExecutable);
  const std::pair<const wchar_t*, std::wstring> texts[] = {
      {L"Inno Setup: Setup Version", L"vornik-product-installer 1.0"},
      {L"Inno Setup: App Path", dir},
      {L"InstallLocation", dir + L"/"},
      {L"Inno Setup: Language", platform::FromUtf8(switches.language)},
      {L"DisplayName", platform::FromUtf8(product::kName)},
      {L"DisplayIcon", exe},
      {L"DisplayVersion", platform::FromUtf8(product::kVersion)},
      {L"Publisher", platform::FromUtf8(product::kPublisher)},
      {L"InstallDate", platform::FromUtf8(InstallDate())},
  };
  for (const auto& [name, data] : texts) {
    if (!platform::RegSetString(HKEY_LOCAL_MACHINE, *key, name, data)) return false;
  }
  return platform::RegSetDword(HKEY_LOCAL_MACHINE, *key, L"NoModify", 1) &&
         platform::RegSetDword(HKEY_LOCAL_MACHINE, *key, L"NoRepair", 1);
}

int Fail(InstallerLog& log, const std::string& why) {
  log.Line("Fatal exception during installation: " + why);
  log.Line("Log closed.");
  return kSetupFailedDuringInstall;
}

}  // namespace

int RunProductInstall(const InstallerSwitches& switches, const InstallerSettings& settings,
                      const std::string& commandLine) {
  InstallerLog log(switches.logFile);
  log.Line("Log opened.");
  log.Line("Setup version: vornik-product-installer 1.0 for " + std::string(product::kName));
  log.Line("Original Setup EXE: " + platform::ToUtf8(platform::GetModuleFilePath()));
  log.Line("Setup command line: " + commandLine);
  if (!switches.error.empty()) {
    log.Line("Cannot use the command line: " + switches.error);
    log.Line("Log closed.");
    return kSetupFailedToInitialize;
  }
  log.Line(
      std::string(switches.verySilent ? "Very silent mode" : "Not silent (a window would show)") +
      "; language " + (switches.language.empty() ? "(none)" : switches.language) + "; track " +
      (switches.track.empty() ? "(none)" : switches.track));
  for (const std::string& unknown : switches.unknown) log.Line("Ignored switch: " + unknown);

  log.Line("Starting the installation process.");
  std::this_thread::sleep_for(std::chrono::milliseconds(settings.installMs));
  log.Line("Creating directory: " + switches.dir);
  if (!platform::CreateDirectories(platform::FromUtf8(switches.dir))) {
    return Fail(log, "cannot create " + switches.dir);
  }
  const std::string exe = switches.dir + "/" + product::kMainExecutable;
  log.Line("Dest filename: " + exe);
  if (!PlaceMainExecutable(exe)) return Fail(log, "cannot write " + exe);
  if (settings.writeNetFrameCheck) {
    log.Line("Dest filename: " + switches.dir + "/NetFrameCheck.db");
    if (!WriteNetFrameCheck(switches.dir, settings.netFrameworkVersion)) {
      return Fail(log, "cannot write NetFrameCheck.db");
    }
  }
  std::wstring key;
  const bool keyWritten = WriteUninstallKey(switches, &key);
  log.Line("Uninstall key: HKEY_LOCAL_MACHINE\\" + platform::ToUtf8(key));
  if (!keyWritten) return Fail(log, "cannot write the uninstall key");
  log.Line("Installation process succeeded.");
  log.Line("Log closed.");
  return settings.exitCode;
}
