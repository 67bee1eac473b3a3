#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "FuntionImpl.h"
#include "SignatureTestSupport.h"
#include "platform/Encoding.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "support/ChildProcess.h"
#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using platform::HKEY_LOCAL_MACHINE;

const std::string kInstallers = VORNIK_PRODUCT_INSTALLER_DIR;
const std::string kSigned = kInstallers + "/vornik-product-installer";
constexpr wchar_t kUninstallKey[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Vornik "
    L"Lumaclear}_is1";

class ProductInstallerTest : public testing::Test {
 protected:
  void SetUp() override {
    env_.SetEnv("VORNIK_PRODUCT_INSTALL_MS", "0");
    folder_ = env_.Root() + "/opt/Vornik Lumaclear";
    log_ = env_.AppData() +
           "/MVDownloader/logs/lumaclear_setup/Vornik Lumaclear_Setup_20261211150000.log";
  }

  // Runs the installer from a Windows command line, split as process
  // creation splits it; its exit code, or -1 when it did not end in time.
  int Install(const std::string& commandLine) {
    platform::ProcessHandle process;
    int error = 0;
    if (!platform::CreateProcess(platform::FromUtf8(commandLine), L"", &process, &error)) return -2;
    uint32_t exitCode = 0;
    if (!platform::WaitForProcess(process, 30000) ||
        !platform::GetExitCodeProcess(process, &exitCode)) {
      return -1;
    }
    return static_cast<int>(exitCode);
  }

  // The command line the downloader builds, with the folder's separator.
  std::string CommandLine(const std::string& installer, const std::string& folderEnd = "/") {
    return "\"" + installer + "\" /VERYSILENT /SP- /NORESTART /DIR=\"" + folder_ + folderEnd +
           "\" /LANG=jp /LOG=\"" + log_ + "\" /sptrack null";
  }

  std::wstring UninstallValue(const wchar_t* name) {
    std::wstring value;
    EXPECT_TRUE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kUninstallKey, name, &value)) << name;
    return value;
  }

  std::string App() const { return folder_ + "/LumaclearApp.exe"; }

  testing_support::TestEnvironment env_;
  std::string folder_;
  std::string log_;
};

TEST_F(ProductInstallerTest, InstallsWhatTheDownloaderLooksFor) {
  ASSERT_EQ(Install(CommandLine(kSigned)), 0);
  EXPECT_TRUE(fs::is_directory(folder_));
  ASSERT_TRUE(fs::is_regular_file(App()));
  EXPECT_NE(fs::status(App()).permissions() & fs::perms::owner_exec, fs::perms::none);
  EXPECT_FALSE(fs::exists(folder_ + "/NetFrameCheck.db"));

  // The key the downloader's language write finds first.
  EXPECT_TRUE(platform::RegKeyExists(
      HKEY_LOCAL_MACHINE, L"SoftWare\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
  const std::wstring folder = platform::FromUtf8(folder_);
  EXPECT_EQ(UninstallValue(L"Inno Setup: Language"), L"jp");
  EXPECT_EQ(UninstallValue(L"Inno Setup: App Path"), folder);
  EXPECT_EQ(UninstallValue(L"InstallLocation"), folder + L"/");
  EXPECT_EQ(UninstallValue(L"DisplayName"), L"Vornik Lumaclear");
  EXPECT_EQ(UninstallValue(L"DisplayVersion"), L"1.0.0.0");
  EXPECT_EQ(UninstallValue(L"DisplayIcon"), platform::FromUtf8(App()));

  const std::string log = signature_test::ReadBytes(log_);
  for (const char* line :
       {"Log opened.", "Very silent mode; language jp; track null", "Setup command line: ",
        "Dest filename: ", "Installation process succeeded.", "Log closed."}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
  }
}

TEST_F(ProductInstallerTest, InstalledProductRecordsItsStartsAndStaysUpOnRequest) {
  ASSERT_EQ(Install(CommandLine(kSigned)), 0);
  const std::string record = folder_ + "/LumaclearApp.started";
  EXPECT_EQ(signature_test::Run(App(), {"--first", "two words"}, env_.Root() + "/app.out"), 0);
  EXPECT_EQ(signature_test::Run(App(), {}, env_.Root() + "/app.out"), 0);
  std::string lines = signature_test::ReadBytes(record);
  ASSERT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
  EXPECT_EQ(lines.rfind("started pid=", 0), 0u) << lines;
  EXPECT_NE(lines.find(" args=--first \"two words\"\n"), std::string::npos) << lines;

  env_.SetEnv("VORNIK_PRODUCT_APP_STAY_MS", "60000");
  testing_support::ChildProcess app(App(), {}, env_.Root() + "/app.out");
  ASSERT_TRUE(testing_support::WaitUntil([&] {
    const std::string now = signature_test::ReadBytes(record);
    return std::count(now.begin(), now.end(), '\n') == 3;
  }));
  EXPECT_TRUE(app.Running());
  app.Signal(SIGKILL);
}

TEST_F(ProductInstallerTest, TakesTheConfiguredTimeAndExitCode) {
  env_.SetEnv("VORNIK_PRODUCT_INSTALL_MS", "300");
  env_.SetEnv("VORNIK_PRODUCT_INSTALL_EXIT", "3");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Install(CommandLine(kSigned)), 3);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_TRUE(fs::is_regular_file(App()));
}

TEST_F(ProductInstallerTest, WritesNetFrameCheckWhenAsked) {
  env_.SetEnv("VORNIK_PRODUCT_NET_VERSION", "4.8");
  ASSERT_EQ(Install(CommandLine(kSigned)), 0);
  const std::wstring folder = platform::FromUtf8(folder_);
  EXPECT_TRUE(FuntionImpl::WillShowNetFrameCheck(folder));
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE,
                                     L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client",
                                     L"Version", L"4.8.09032"));
  EXPECT_FALSE(FuntionImpl::WillShowNetFrameCheck(folder));
}

TEST_F(ProductInstallerTest, RefusesCommandLinesItCannotUse) {
  const std::string installer = "\"" + kSigned + "\"";
  const std::string cases[] = {
      installer + " /VERYSILENT /LANG=en",
      installer + " /VERYSILENT /DIR=",
      // A backslash before the closing quote escapes it when the line is
      // split, and the rest of the line runs into the folder.
      CommandLine(kSigned, "\\"),
  };
  for (const std::string& commandLine : cases) {
    EXPECT_EQ(Install(commandLine), 1) << commandLine;
    EXPECT_FALSE(fs::exists(folder_)) << commandLine;
    EXPECT_FALSE(platform::RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << commandLine;
  }
}

TEST_F(ProductInstallerTest, BuildVariantsAndTheirSignatures) {
  struct Case {
    const char* name;
    bool valid;
    uint32_t result;
    bool overOneMebibyte;
  };
  const Case cases[] = {
      {"vornik-product-installer", true, 0, false},
      {"vornik-product-installer-unsigned", false, 0x800B0100, false},
      {"vornik-product-installer-tampered", false, 0x80096010, false},
      {"vornik-product-installer-large", true, 0, true},
      {"vornik-product-installer-large-tampered", false, 0x80096010, true},
  };
  for (const Case& c : cases) {
    const std::string path = kInstallers + "/" + c.name;
    // Past the download's 1 MiB minimum; the others are smaller, unless a
    // sanitizer build made the program itself that large.
    if (c.overOneMebibyte) {
      EXPECT_GT(fs::file_size(path), 1024u * 1024u) << c.name;
    }
    EXPECT_EQ(FuntionImpl::VerifyEmbeddedSignature(platform::FromUtf8(path)), c.valid) << c.name;
    const std::string output = env_.Root() + "/verify.out";
    EXPECT_EQ(signature_test::Run(VORNIK_VERIFY_EXE, {path}, output), c.valid ? 0 : 1) << c.name;
    const std::string firstLine = "result " + std::to_string(static_cast<int32_t>(c.result)) + " (";
    EXPECT_EQ(signature_test::ReadBytes(output).rfind(firstLine, 0), 0u) << c.name;
  }
  // Only the signature tells a tampered copy: it still installs.
  EXPECT_EQ(Install(CommandLine(kInstallers + "/vornik-product-installer-large-tampered")), 0);
  EXPECT_TRUE(fs::is_regular_file(App()));
}

TEST(VornikVerifyTest, ExitCodes) {
  testing_support::TestEnvironment env;
  const std::string output = env.Root() + "/verify.out";
  EXPECT_EQ(signature_test::Run(VORNIK_VERIFY_EXE, {}, output), 2);
  EXPECT_EQ(signature_test::Run(VORNIK_VERIFY_EXE, {"a", "b"}, output), 2);
  EXPECT_EQ(signature_test::Run(VORNIK_VERIFY_EXE, {env.Root() + "/missing"}, output), 1);
  EXPECT_EQ(signature_test::ReadBytes(output),
            "result -2147024894 (0x80070002)\nError is: 0x80070002.\n");
  EXPECT_EQ(signature_test::Run(VORNIK_VERIFY_EXE, {kSigned}, output), 0);
  EXPECT_EQ(signature_test::ReadBytes(output),
            "result 0 (0x00000000)\nThe file \"" + kSigned +
                "\" is signed and the signature was verified.\n");
}

}  // namespace
