// vornik-product-installer: a stand-in for the product's installer, for tests
// and the demo. The downloader runs it as it runs the real one:
//
//   vornik-product-installer /VERYSILENT /SP- /NORESTART /DIR="FOLDER"
//                            /LANG=CODE /LOG="FILE" /sptrack TRACK
//
// It logs to FILE, waits the installation time, creates FOLDER, puts
// LumaclearApp.exe into it, and writes the uninstall key "{Vornik
// Lumaclear}_is1" under HKEY_LOCAL_MACHINE
// "SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
// into the registry store ($VORNIK_REGISTRY_ROOT in tests) with the values
// "Inno Setup: App Path" (FOLDER), "InstallLocation" (FOLDER and "/"),
// "Inno Setup: Language" (CODE), "Inno Setup: Setup Version", "DisplayName",
// "DisplayIcon", "DisplayVersion", "Publisher", "InstallDate" (texts) and
// "NoModify", "NoRepair" (DWORD 1). Exit codes: 0 (or
// VORNIK_PRODUCT_INSTALL_EXIT) installed; 1 unusable command line (no /DIR=,
// or a /DIR= value that swallowed the rest of the line); 4 a step failed.
//
// Started under the name LumaclearApp.exe the same program is the product: it
// records its start in LumaclearApp.started beside itself and exits, or stays
// up on request.
//
// Configuration, all from the environment (details in InstallerSettings.h):
//   VORNIK_PRODUCT_INSTALL_MS=N    the installation takes N ms (default 1500)
//   VORNIK_PRODUCT_INSTALL_EXIT=N  exit code of a successful installation
//   VORNIK_PRODUCT_NET_VERSION=V   also write NetFrameCheck.db asking for .NET V
//   VORNIK_PRODUCT_APP_STAY_MS=N   LumaclearApp.exe stays up N ms (default 0)
//
// The build signs it in the appended-signature layout and makes the variants
// that tests use (tools/product-installer/CMakeLists.txt).
#include <string>
#include <vector>

#include "InstallerSettings.h"
#include "InstallerSwitches.h"
#include "ProductApp.h"
#include "ProductIdentity.h"
#include "ProductInstall.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/ProcessCommandLine.h"

namespace {

bool RunsAsProduct() {
  const std::string self = platform::ToUtf8(platform::GetModuleFilePath());
  const std::string name = self.substr(self.find_last_of('/') + 1);
  return name == product::kMainExecutable;
}

}  // namespace

int main(int argc, char** argv) {
  const InstallerSettings settings = ReadInstallerSettings();
  const std::string commandLine = platform::ToUtf8(platform::JoinArguments(argc, argv));
  if (RunsAsProduct()) return RunProductApp(settings, commandLine);
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return RunProductInstall(ParseInstallerSwitches(arguments), settings, commandLine);
}
