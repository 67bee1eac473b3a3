// The downloader's own configuration record (CConfigure) asking the running
// stack through the services file and its CA, as the program does: the reply
// must give it the served installer, and the options must reach its fields.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "CConfigure.h"
#include "DeploymentValues.h"
#include "HttpsClient.h"
#include "SingleUserLog.h"
#include "StackFixture.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"

namespace demoservices_test {
namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;

// md5sum's digest of a file: a third opinion, neither the stack's nor the
// downloader's code.
std::string Md5Sum(const std::string& path) {
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(("md5sum '" + path + "'").c_str(), "r"),
                                                &pclose);
  char digest[33] = {};
  if (!pipe || std::fscanf(pipe.get(), "%32s", digest) != 1) return "";
  return digest;
}

class DownloaderReadsStackTest : public StackTest {
 protected:
  void SetUp() override {
    StackTest::SetUp();
    fs::create_directories(env_.Root() + "/program");
    platform::SetModuleFilePathForTesting(FromUtf8(env_.Root() + "/program/setup"));
    env_.SetEnv("VORNIK_WINDOWS_VERSION", "10.0.19045");
    CSingleUserLog::GetInstance()->SetReportObjForTesting(nullptr);
    CSingleUserLog::GetInstance()->ResetForTesting();
  }

  void TearDown() override {
    StackTest::TearDown();
    CSingleUserLog::GetInstance()->ResetForTesting();
    platform::SetModuleFilePathForTesting(L"");
    deployment::ReloadForTesting();
  }

  // A record with the shipped ids after one fetch and parse from the stack.
  std::unique_ptr<CConfigure> Fetch(int expectedFetch = 1) {
    env_.SetEnv("VORNIK_SERVICES", Folder() + "/services.conf");
    deployment::ReloadForTesting();
    auto record = std::make_unique<CConfigure>(127, 1033, 61);
    EXPECT_EQ(record->getDownloadInfoXml(true, false), expectedFetch);
    EXPECT_EQ(record->parseDownloadInfoXml(), expectedFetch == 1);
    return record;
  }

  std::string DownloadUrl() const {
    const std::string text = testing_support::ReadFile(Folder() + "/services.conf");
    const std::string marker = "comes from ";
    const size_t at = text.find(marker);
    return at == std::string::npos
               ? ""
               : text.substr(at + marker.size(), text.find('\n', at) - at - marker.size());
  }
};

TEST_F(DownloaderReadsStackTest, RecordTakesTheServedInstallerAsItsOnlyCandidate) {
  ASSERT_EQ(Start(WritePatternInstaller()).exitCode, 0);
  const auto record = Fetch();
  ASSERT_FALSE(DownloadUrl().empty());
  EXPECT_EQ(record->source, CConfigure::kSourceServer);
  EXPECT_EQ(record->Download_url, FromUtf8(DownloadUrl()));
  EXPECT_EQ(record->Download_url_list, std::vector<std::wstring>{FromUtf8(DownloadUrl())});
  EXPECT_EQ(record->Extra_download_url, L"");
  EXPECT_EQ(record->Md5, FromUtf8(kPatternMd5));
  EXPECT_EQ(record->Filesize, 100000);
  EXPECT_EQ(record->Software_name, L"Vornik Lumaclear");
  EXPECT_EQ(record->Software_version, L"1.0.0.0");
  EXPECT_EQ(record->Process_name, L"LumaclearApp.exe");
  EXPECT_EQ(record->Downloader_id, 127);
  EXPECT_EQ(record->Site_id, 61);
  EXPECT_EQ(record->Downloader_type, 1);
}

TEST_F(DownloaderReadsStackTest, OptionsReachTheRecord) {
  ASSERT_EQ(Start(WritePatternInstaller(),
                  {"--md5", "0123456789abcdef0123456789abcdef", "--software-version", "2.5.0.1",
                   "--slice-num", "8", "--slice-size", "65536", "--downloader-config", "2",
                   "--additional-time", "30", "--install-timeout", "90"})
                .exitCode,
            0);
  const auto record = Fetch();
  EXPECT_EQ(record->Md5, L"0123456789abcdef0123456789abcdef");
  EXPECT_EQ(record->Software_version, L"2.5.0.1");
  EXPECT_EQ(record->Slice_num, 8);
  EXPECT_EQ(record->Slice_size, 65536);
  EXPECT_EQ(record->Downloader_config, 2);
  EXPECT_EQ(record->Additional_time, 30);
  const HttpResult reply =
      HttpsGet(Service("update") + "/queryDownloaderV2?SoftWareID=127&SiteID=61", CaFile());
  EXPECT_EQ(ElementText(reply.body, "InstallTimeout"), "90");
  // The file's own digest stays in the log, beside the one announced.
  EXPECT_NE(Log().find(std::string("md5 ") + kPatternMd5 + "), announced md5 \"0123"),
            std::string::npos);
}

TEST_F(DownloaderReadsStackTest, WithheldConfigurationGivesTheRecordNothing) {
  ASSERT_EQ(Start(WritePatternInstaller(), {"--configuration-status", "503"}).exitCode, 0);
  Fetch(0);
  const HttpResult reply =
      HttpsGet(Service("update") + "/queryDownloaderV2?SoftWareID=127&SiteID=61", CaFile());
  EXPECT_EQ(reply.status, 503);
  EXPECT_EQ(reply.body.find("<Downloader>"), std::string::npos);
}

TEST_F(DownloaderReadsStackTest, ByDefaultTheSignedProductInstallerIsServed) {
  const std::string installer =
      std::string(VORNIK_PRODUCT_INSTALLER_DIR) + "/vornik-product-installer";
  ASSERT_TRUE(fs::exists(installer)) << "build vornik-product-installers first";
  ASSERT_EQ(Start("").exitCode, 0);
  const auto record = Fetch();
  EXPECT_EQ(record->Filesize, static_cast<int64_t>(fs::file_size(installer)));
  EXPECT_EQ(record->Md5, FromUtf8(Md5Sum(installer)));
  const HttpResult body = HttpsGet(DownloadUrl(), CaFile());
  EXPECT_EQ(body.status, 200);
  EXPECT_TRUE(body.body == testing_support::ReadFile(installer));
}

}  // namespace
}  // namespace demoservices_test
