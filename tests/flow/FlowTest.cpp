// One installation attempt, end to end, against a local update server and
// download host, with the signed test installer.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "Common/FlowMessages.h"
#include "FlowTestSupport.h"
#include "FuntionImpl.h"
#include "MD5.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/Registry.h"

namespace flow_test {
namespace {

namespace fs = std::filesystem;

std::string Installer(const char* variant) {
  return std::string(VORNIK_PRODUCT_INSTALLER_DIR) + "/" + variant;
}

size_t PostsTo(const localserver::DownloadServer& server, const std::string& path) {
  size_t count = 0;
  for (const localserver::Exchange& exchange : server.Exchanges())
    if (exchange.request.method == "POST" && exchange.request.Path() == path) ++count;
  return count;
}

TEST_F(FlowTest, InstallsLaunchesReportsInOrderAndClearsTheDownload) {
  ServeInstaller(Installer("vornik-product-installer-large"));
  RunFlow();

  EXPECT_EQ(messages_.Numbers(),
            (std::vector<uint32_t>{WM_VERIFY_STARTED, WM_INSTALL_STARTED, WM_INSTALL_FINISHED}));
  // Installed where the folder box points, and launched.
  const std::string folder = InstallFolder();
  EXPECT_TRUE(fs::exists(folder + "/LumaclearApp.exe"));
  EXPECT_TRUE(testing_support::WaitUntil(
      [&folder] { return fs::exists(folder + "/LumaclearApp.started"); }));
  EXPECT_TRUE(window_->ProductStarted());
  // The download is cleared after a successful installation.
  EXPECT_FALSE(fs::exists(PackagePath()));
  EXPECT_FALSE(fs::exists(PackagePath() + L".xml"));
  EXPECT_FALSE(fs::exists(PackagePath() + L".db"));
  // The steps' events, in order.
  std::vector<std::string> steps;
  for (const auto& event : report_.Events())
    if (event.category == "Download") steps.push_back(event.action + "/" + event.label);
  EXPECT_EQ(steps, (std::vector<std::string>{"3.Downloading.../First", "Md5CheckStart/",
                                             "Md5CheckFinsh/", "4.DownFinsh/First",
                                             "5.ProgramInstall/First", "6.ProgramFinsh/First",
                                             "7.ProgramLaunch/", "9.StartWindow/0"}));
  EXPECT_TRUE(report_.Labels("Other", "FlowError").empty());
  EXPECT_EQ(report_.Labels("Other", "ProductVersion"), std::vector<std::string>{kVersion});
  EXPECT_TRUE(log_.HasPrefix(" [Start Install CmdLine]:  /VERYSILENT /SP- /NORESTART /DIR=\""));
  // The product's language where its installer keeps it.
  std::wstring language;
  EXPECT_TRUE(platform::RegQueryString(
      platform::HKEY_LOCAL_MACHINE,
      L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Vornik "
      L"Lumaclear}_is1",
      L"Inno Setup: Language", &language));
  EXPECT_EQ(language, L"en");
}

TEST_F(FlowTest, NoUsableAddressFailsAtOnceWithFourteen) {
  // Both addresses are CDN addresses, the embedded one replaced too.
  server_->SetConfigurationReply(
      200,
      "<Downloader><Software_version>2.0.0.1</Software_version><Download_url>"
      "https://cdn.vornik.com/x.exe</Download_url><Extra_download_url>"
      "https://dl.vornik.com/y.exe</Extra_download_url></Downloader>");
  RunFlow();
  EXPECT_EQ(
      messages_.Messages(),
      (std::vector<std::pair<uint32_t, uintptr_t>>{{WM_DOWNLOAD_FAILED, kNoDownloadAddress}}));
  EXPECT_TRUE(log_.Contains("url is empty"));
  EXPECT_EQ(report_.Labels("Other", "FlowError"), std::vector<std::string>{"DL023"});
}

TEST_F(FlowTest, ADownloadThatStallsInEveryRoundFailsAfterTwelveRounds) {
  ServeInstaller(Installer("vornik-product-installer-large"));
  localserver::Rule failing =
      localserver::Rule::For("GET", kInstallerPath, localserver::Fault::NotFound());
  failing.times = -1;
  server_->AddRule(failing);
  supervision_.stallLimitMs = 200;
  window_->SetSupervisionSettingsForTesting(supervision_);
  RunFlow();

  EXPECT_EQ(messages_.Messages(),
            (std::vector<std::pair<uint32_t, uintptr_t>>{{WM_DOWNLOAD_FAILED, DOWNLOAD_NO_SPEED}}));
  EXPECT_EQ(report_.Labels("Other", "FlowError"), std::vector<std::string>(12, "DL011"));
  for (int retries = 0; retries <= 10; ++retries)
    EXPECT_TRUE(log_.Contains(" The Retry Frequency is: " + std::to_string(retries))) << retries;
  EXPECT_EQ(log_.Count(" The Retry Frequency is: 11"), 1u);
  EXPECT_EQ(report_.Labels("Other", "DownErrorCode"), std::vector<std::string>{"error_10"});
  // Kept for Try again.
  EXPECT_TRUE(fs::exists(PackagePath() + L".xml"));
}

TEST_F(FlowTest, ADownloadThatSucceedsInTheThirdRoundSaysSo) {
  ServeInstaller(Installer("vornik-product-installer-large"));
  // Two rounds of four slices fail, then everything is served.
  localserver::Rule failing =
      localserver::Rule::For("GET", kInstallerPath, localserver::Fault::NotFound());
  failing.times = 8;
  server_->AddRule(failing);
  supervision_.stallLimitMs = 200;
  window_->SetSupervisionSettingsForTesting(supervision_);
  RunFlow();

  EXPECT_TRUE(log_.Contains("Success\xEF\xBC\x8CThe Retry Frequency is: 2"));
  EXPECT_EQ(report_.Labels("Other", "FlowError"), std::vector<std::string>(2, "DL011"));
  EXPECT_EQ(messages_.Numbers().back(), WM_INSTALL_FINISHED);
}

TEST_F(FlowTest, AValidSignatureWithAWrongDigestIsReportedAndInstalled) {
  ServeInstaller(Installer("vornik-product-installer-large"), "",
                 "0123456789abcdef0123456789abcdef");
  RunFlow();
  EXPECT_EQ(report_.Labels("Other", "FlowError"), std::vector<std::string>{"DL013"});
  EXPECT_EQ(PostsTo(*server_, "/api/exception/send"), 1u);
  EXPECT_EQ(messages_.Numbers().back(), WM_INSTALL_FINISHED);
  EXPECT_TRUE(fs::exists(InstallFolder() + "/LumaclearApp.exe"));
}

TEST_F(FlowTest, AnInvalidSignatureStopsBeforeTheInstaller) {
  ServeInstaller(Installer("vornik-product-installer-large-tampered"));
  RunFlow();
  EXPECT_EQ(messages_.Numbers(), (std::vector<uint32_t>{WM_VERIFY_STARTED, WM_MD5_FAILED}));
  EXPECT_EQ(report_.Labels("Other", "FlowError"), std::vector<std::string>{"DL014"});
  EXPECT_EQ(PostsTo(*server_, "/api/exception/send"), 1u);
  EXPECT_EQ(window_->VerifyOver(), 1);
  EXPECT_FALSE(fs::exists(InstallFolder()));
}

TEST_F(FlowTest, AnInstallerThatDoesNotEndTimesOut) {
  ServeInstaller(Installer("vornik-product-installer-large"));
  env_.SetEnv("VORNIK_PRODUCT_INSTALL_MS", "600000");
  RunFlow();
  // The flow leaves the installer running; the test must not.
  EXPECT_GE(FuntionImpl::FindProcessByFullPath(PackagePath(), true, false), 0);
  EXPECT_EQ(messages_.Numbers().back(), WM_INSTALL_TIMEOUT);
  EXPECT_EQ(report_.Labels("Other", "FlowError"), std::vector<std::string>{"DL016"});
  // The embedded configuration's 600 s: 602 waits before the time-out.
  EXPECT_TRUE(log_.Contains(" Cmd nWaitSeconds timed out: 600"));
  EXPECT_EQ(window_->InstallerFinished(), 1);
}

TEST_F(FlowTest, AnotherKindOfPackageIsOnlyDownloaded) {
  ServeInstaller(Installer("vornik-product-installer-large"),
                 "<Extra_download_url>https://www.vornik.com/lumaclear.zip</Extra_download_url>");
  RunFlow();
  EXPECT_EQ(messages_.Numbers(), std::vector<uint32_t>{WM_DOWNLOAD_FINISHED});
  EXPECT_TRUE(log_.Contains("APP DownloaderSucceed"));
  EXPECT_TRUE(fs::exists(PackagePath()));
}

// Without a reply from the update server the embedded configuration serves:
// it carries no digest of the build, so only the signature is checked, and
// nothing of an earlier download is resumed.
TEST_F(FlowTest, TheEmbeddedConfigurationSkipsTheDigestAndChecksTheSignature) {
  const std::string installer = Installer("vornik-product-installer-large");
  server_->AddFile(kInstallerPath,
                   localserver::Content::Text(testing_support::ReadFile(installer)));
  server_->SetConfigurationReply(500, "");
  UseProductLabel("Extra_download_url", server_->Url(kInstallerPath));
  RunFlow();
  EXPECT_TRUE(log_.Contains(" Configure Load From File, clearAppData Before Download! "));
  EXPECT_FALSE(log_.HasPrefix(" MD5 of file "));
  EXPECT_TRUE(log_.HasPrefix(" VerifyEmbeddedSignature result is 0, "));
  EXPECT_EQ(messages_.Numbers().back(), WM_INSTALL_FINISHED);
  EXPECT_TRUE(fs::exists(InstallFolder() + "/LumaclearApp.exe"));
}

struct RecordCase {
  const char* name;
  std::string record;  // "%s" stands for the served file's digest
  bool kept;
};

class RecordFileTest : public FlowTest, public ::testing::WithParamInterface<RecordCase> {};

// A package left by an earlier attempt is resumed only when its record names
// this version and digest.
TEST_P(RecordFileTest, DecidesWhetherAnEarlierDownloadIsKept) {
  const std::string installer = Installer("vornik-product-installer-large");
  ServeInstaller(installer);
  const std::string bytes = testing_support::ReadFile(installer);
  std::string record = GetParam().record;
  const size_t at = record.find("%s");
  std::string digest = Md5OfText(bytes);
  if (record.find("UPPER") != std::string::npos) {
    for (char& c : digest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    record.replace(record.find("UPPER"), 5, "");
  }
  if (at != std::string::npos) record.replace(record.find("%s"), 2, digest);
  // A complete earlier download, with its task file, under the name the
  // flow will give the package of this version.
  const std::string package = platform::ToUtf8(CSingleUserLog::GetInstance()->GetWorkFolder() +
                                               L"/lumaclear_setup_2.0.0.1.exe");
  testing_support::WriteFile(package, bytes);
  {
    std::string summary;
    ASSERT_EQ(CDownLoadImpl().SuperDownloadFile(Wide(server_->Url(kInstallerPath)), Wide(package),
                                                summary, true),
              DOWNLOAD_OK);
  }
  testing_support::WriteFile(package + ".db", record);
  const size_t getsBefore = server_->Exchanges().size();
  RunFlow();
  size_t gets = 0;
  const auto exchanges = server_->Exchanges();
  for (size_t i = getsBefore; i < exchanges.size(); ++i)
    if (exchanges[i].request.method == "GET" && exchanges[i].request.Path() == kInstallerPath)
      ++gets;
  EXPECT_EQ(gets == 0, GetParam().kept) << gets;
  EXPECT_EQ(messages_.Numbers().back(), WM_INSTALL_FINISHED);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordFileTest,
    ::testing::Values(RecordCase{"SameVersionAndDigest", "2.0.0.1###%s", true},
                      RecordCase{"DigestInUppercase", "2.0.0.1###UPPER%s", true},
                      RecordCase{"OtherVersion", "1.9.0.0###%s", false},
                      RecordCase{"OtherDigest", "2.0.0.1###00000000000000000000000000000000",
                                 false},
                      RecordCase{"NoSeparator", "2.0.0.1 %s", false}),
    [](const ::testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace flow_test
