#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <string>

#include "Common/StartupValues.h"
#include "platform/Encoding.h"
#include "platform/Resource.h"
#include "uitoolkit/SkinPackage.h"

namespace {

StartupValues Read(const std::string& labels) {
  const std::string xml = "<VerticalLayout><VerticalLayout name=\"Product_config\">" + labels +
                          "</VerticalLayout></VerticalLayout>";
  tinyxml2::XMLDocument document;
  EXPECT_EQ(document.Parse(xml.c_str()), tinyxml2::XML_SUCCESS);
  return ReadStartupValues(document);
}

std::string Url(const char* key, const char* value) {
  return std::string("<Label name=\"") + key + "\" text=\"" + value + "\"/>";
}

TEST(StartupValues, DownloadUrlAndLogName) {
  struct Case {
    std::string labels;
    const wchar_t* url;
    const wchar_t* logName;
  } cases[] = {
      // The service address is skipped, the product's own host is taken.
      {Url("Download_url", "https://dl.vornik.com/a/setup_x.exe") +
           Url("Extra_download_url", "https://download.lumaclear.com/lumaclear_setup.exe"),
       L"https://download.lumaclear.com/lumaclear_setup.exe", L"lumaclear_setup"},
      // First direct address in document order wins.
      {Url("Extra_download_url", "https://a.example/first.v2.exe") +
           Url("Download_url", "https://b.example/second.exe"),
       L"https://a.example/first.v2.exe", L"first"},
      // Both carry a marker: no URL and no log.
      {Url("Download_url", "https://cdn.vornik.com/a.exe") +
           Url("Extra_download_url", "https://dl.vornik.com/b.exe"),
       L"", L""},
      // The marker test is case-sensitive.
      {Url("Download_url", "https://CDN.vornik.com/a.exe"), L"https://CDN.vornik.com/a.exe", L"a"},
      // No extension after the last "/" leaves the log unconfigured.
      {Url("Download_url", "https://x.example/v1.0/setup"), L"https://x.example/v1.0/setup", L""},
      {Url("Download_url", "no-slash.exe"), L"no-slash.exe", L""},
      {Url("Download_url", "https://x.example/.exe"), L"https://x.example/.exe", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.labels);
    const StartupValues values = Read(c.labels);
    EXPECT_EQ(values.downloadUrl, c.url);
    EXPECT_EQ(values.LogName(), c.logName);
  }
}

TEST(StartupValues, KeysByPositionNotByAttributeName) {
  const StartupValues values =
      Read("<Label a=\"Downloader_id\" b=\"127\"/>"
           "<Label name=\"Site_id\" text=\"61\"/><Label name=\"Language_id\" text=\"abc\"/>"
           "<Label name=\"Software_name\" text=\"Vornik Lumaclear\"/>"
           "<Label name=\"Software_name\" text=\"Later wins\"/>"
           "<Label name=\"software_version\" text=\"case matters\"/>"
           "<Label name=\"MainPid\" text=\" 2739x\"/>"
           "<Label name=\"Support32System\" text=\" 0\"/>"
           "<Label name=\"Downloader_id\"/>");
  EXPECT_EQ(values.downloaderIdText, L"");  // the last duplicate has no value
  EXPECT_EQ(values.downloaderId, 0);
  EXPECT_EQ(values.siteId, 61);
  EXPECT_EQ(values.softwareName, L"Later wins");
  EXPECT_EQ(values.softwareVersion, L"");
  EXPECT_EQ(values.mainPid, 2739);
  EXPECT_EQ(values.support32System, L" 0");
}

TEST(StartupValues, MissingElementsKeepDefaults) {
  for (const char* xml : {"<VerticalLayout/>", "<A><B/></A>", "<A>text</A>"}) {
    tinyxml2::XMLDocument document;
    document.Parse(xml);
    const StartupValues values = ReadStartupValues(document);
    EXPECT_EQ(values.downloaderId, 0) << xml;
    EXPECT_TRUE(values.downloadUrl.empty()) << xml;
  }
  tinyxml2::XMLDocument empty;
  EXPECT_EQ(ReadStartupValues(empty).downloaderId, 0);
}

TEST(StartupValues, ShippedPackage) {
  platform::ResourceBytes bytes;
  ASSERT_TRUE(platform::LoadResourceBytes(L"ZIPRES", 138, &bytes));
  ASSERT_TRUE(ui::SetResourcePackage(bytes.data, bytes.size));
  const StartupValues values = ReadStartupValuesFromPackage();
  EXPECT_EQ(values.downloaderIdText, L"127");
  EXPECT_EQ(values.downloaderId, 127);
  EXPECT_EQ(values.siteId, 61);
  EXPECT_EQ(values.mainPid, 2739);
  EXPECT_EQ(values.softwareName, L"Vornik Lumaclear");
  EXPECT_EQ(values.softwareVersion, L"1.0.0.0");
  EXPECT_EQ(values.support32System, L"0");
  EXPECT_EQ(values.downloadUrl.rfind(L"https://", 0), 0u);
  EXPECT_EQ(values.LogName(), L"lumaclear_setup");
}

}  // namespace
