// The configuration reply as the downloader's CConfigure reads it, without a
// server: the record's injected fetch answers the formatted text.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "CConfigure.h"
#include "ConfigurationReply.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "support/TestEnvironment.h"

namespace demoservices_test {
namespace {

using demoservices::ConfigurationFields;
using demoservices::FormatConfigurationReply;
using platform::FromUtf8;

class ConfigurationReplyTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(env_.Root() + "/program");
    platform::SetModuleFilePathForTesting(FromUtf8(env_.Root() + "/program/setup"));
    env_.SetEnv("VORNIK_WINDOWS_VERSION", "10.0.19045");
    CSingleUserLog::GetInstance()->SetReportObjForTesting(nullptr);
    CSingleUserLog::GetInstance()->ResetForTesting();
  }
  void TearDown() override {
    CSingleUserLog::GetInstance()->ResetForTesting();
    platform::SetModuleFilePathForTesting(L"");
  }

  // A record with ids 127 and 61 that has fetched and parsed the reply to
  // the query.
  std::unique_ptr<CConfigure> Read(const ConfigurationFields& fields, const std::string& query) {
    auto record = std::make_unique<CConfigure>(127, 1033, 61);
    const std::string body = FormatConfigurationReply(fields, query);
    record->setFetcherForTesting([body](const std::string&, std::string* out) {
      *out = body;
      return 0;
    });
    EXPECT_EQ(record->getDownloadInfoXml(true, false), 1);
    EXPECT_TRUE(record->parseDownloadInfoXml());
    return record;
  }

  testing_support::TestEnvironment env_;
};

TEST_F(ConfigurationReplyTest, TextsWithMarkupCharactersArriveUnchanged) {
  ConfigurationFields fields;
  fields.softwareName =
      "Vornik \"Lumaclear\" <Pro> & Co's \xc3\xa9"
      "dition";
  fields.downloadUrl = "https://127.0.0.1:4443/release/setup.exe?a=1&b=<2>";
  fields.md5 = "0123456789abcdef0123456789abcdef";
  fields.softwareVersion = "3.1.0.2";
  fields.fileSize = 5000000000;
  const auto record = Read(fields, "LanguageId=1033&SoftWareID=127&SiteID=61");
  EXPECT_EQ(record->Software_name, FromUtf8(fields.softwareName));
  EXPECT_EQ(record->Download_url, FromUtf8(fields.downloadUrl));
  EXPECT_EQ(record->Download_url_list, std::vector<std::wstring>{FromUtf8(fields.downloadUrl)});
  EXPECT_EQ(record->Md5, FromUtf8(fields.md5));
  EXPECT_EQ(record->Software_version, L"3.1.0.2");
  EXPECT_EQ(record->Filesize, 5000000000);
}

TEST_F(ConfigurationReplyTest, EmbeddedSecondAddressIsClearedSoNothingLeavesTheMachine) {
  auto record = std::make_unique<CConfigure>(127, 1033, 61);
  record->Extra_download_url = L"https://download.lumaclear.com/release/lumaclear_setup.exe";
  record->Md5_extra = L"ffffffffffffffffffffffffffffffff";
  const std::string body = FormatConfigurationReply(ConfigurationFields(), "");
  record->setFetcherForTesting([body](const std::string&, std::string* out) {
    *out = body;
    return 0;
  });
  ASSERT_EQ(record->getDownloadInfoXml(true, false), 1);
  ASSERT_TRUE(record->parseDownloadInfoXml());
  EXPECT_EQ(record->Extra_download_url, L"");
  EXPECT_EQ(record->Md5_extra, L"");
}

TEST_F(ConfigurationReplyTest, QueryIdsComeBackOnlyWhenTheyAreNumbers) {
  struct Case {
    const char* query;
    int32_t downloaderId;
    int32_t siteId;
  };
  const Case cases[] = {
      {"LanguageId=1033&SoftWareID=128&SiteID=62", 128, 62},
      {"SiteID=7&SoftWareID=9&package_type=5", 9, 7},
      {"LanguageId=1033&SoftWareID=12a&SiteID=", 127, 61},
      {"SoftWareID=1</Downloader_id><Md5>x&SiteID=-4", 127, 61},
      {"XSoftWareID=5&SiteIDX=6", 127, 61},
      {"", 127, 61},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    const auto record = Read(ConfigurationFields(), c.query);
    EXPECT_EQ(record->Downloader_id, c.downloaderId);
    EXPECT_EQ(record->Site_id, c.siteId);
    EXPECT_EQ(record->Md5, L"");
  }
}

}  // namespace
}  // namespace demoservices_test
