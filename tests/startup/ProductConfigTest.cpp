#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "ProductConfig.h"
#include "platform/Paths.h"
#include "platform/Resource.h"
#include "support/TestEnvironment.h"
#include "uitoolkit/Control.h"
#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/SkinPackage.h"

namespace {

using testing_support::TestEnvironment;
using testing_support::WriteFile;

TEST(ProductConfig, NumericConversion) {
  struct Case {
    const wchar_t* text;
    int32_t int32;
    int64_t int64;
  } cases[] = {
      {L"0", 0, 0},
      {L"", 0, 0},
      {L"abc", 0, 0},
      {L" 0", 0, 0},
      {L"  600", 600, 600},
      {L"\t42abc", 42, 42},
      {L"-17", -17, -17},
      {L"+5", 5, 5},
      {L"- 5", 0, 0},
      {L"5000000000", INT32_MAX, 5000000000LL},
      {L"-5000000000", INT32_MIN, -5000000000LL},
      {L"99999999999999999999", INT32_MAX, INT64_MAX},
      {L"-99999999999999999999", INT32_MIN, INT64_MIN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "\"" << c.text << "\"");
    EXPECT_EQ(ProductConfig::ToInt32(c.text), c.int32);
    EXPECT_EQ(ProductConfig::ToInt64(c.text), c.int64);
  }
}

TEST(ProductConfig, AddressMarker) {
  EXPECT_TRUE(ProductConfig::IsCdnOrServiceUrl(std::wstring(L"https://cdn.vornik.com/a.exe")));
  EXPECT_TRUE(ProductConfig::IsCdnOrServiceUrl(std::string("http://x/y?u=https://dl.z/a")));
  EXPECT_FALSE(ProductConfig::IsCdnOrServiceUrl(std::wstring(L"https://download.vornik.com/a")));
  EXPECT_FALSE(ProductConfig::IsCdnOrServiceUrl(std::string("https://DL.vornik.com/a")));
  EXPECT_FALSE(ProductConfig::IsCdnOrServiceUrl(std::string("https://xcdn.vornik.com/a")));
}

class ShippedConfig : public testing::Test {
 protected:
  void SetUp() override {
    platform::ResourceBytes bytes;
    ASSERT_TRUE(platform::LoadResourceBytes(L"ZIPRES", 138, &bytes));
    ASSERT_TRUE(ui::SetResourcePackage(bytes.data, bytes.size));
    markup_ = ui::BuildWindowMarkup(L"InstallMainWnd.xml");
    ASSERT_NE(markup_.root, nullptr);
  }
  ui::WindowMarkup markup_;
};

TEST_F(ShippedConfig, ReadByNameFromTheMainWindow) {
  const ProductConfig config(markup_.root.get());
  EXPECT_EQ(config.Int(L"Downloader_id"), 127);
  EXPECT_EQ(config.Int(L"Site_id"), 61);
  EXPECT_EQ(config.Int(L"Language_id"), 1033);
  EXPECT_EQ(config.Text(L"Software_name"), L"Vornik Lumaclear");
  EXPECT_EQ(config.Text(L"Process_name"), L"LumaclearApp.exe");
  EXPECT_EQ(config.Int(L"Gif_duration"), 3);
  EXPECT_EQ(config.Int(L"admin_flag"), 1);
  EXPECT_EQ(config.Int(L"MainPid"), 2739);
  EXPECT_EQ(config.Int64(L"Filesize"), 0);
  EXPECT_EQ(config.InstallTimeoutSeconds(), 600u);
  EXPECT_EQ(config.Text(L"Support32System"), L"0");
  EXPECT_TRUE(config.Has(L"product_url_german"));
  EXPECT_FALSE(config.Has(L"product_url_arabic"));
  EXPECT_TRUE(ProductConfig::IsCdnOrServiceUrl(config.Text(L"Download_url")));
  EXPECT_FALSE(ProductConfig::IsCdnOrServiceUrl(config.Text(L"Extra_download_url")));
  EXPECT_EQ(config.Text(L"No_such_key"), L"");
  EXPECT_EQ(config.Int(L"No_such_key"), 0);
}

TEST_F(ShippedConfig, InstallTimeoutRule) {
  ui::Control* label = ui::FindControl(markup_.root.get(), L"InstallTimeout");
  ASSERT_NE(label, nullptr);
  const ProductConfig config(markup_.root.get());
  struct Case {
    const wchar_t* text;
    uint32_t seconds;
  } cases[] = {{L"0", 242}, {L"", 242}, {L"abc", 242}, {L"600", 600}, {L"4294967896", 600}};
  for (const auto& c : cases) {
    label->SetAttribute(L"text", c.text);
    EXPECT_EQ(config.InstallTimeoutSeconds(), c.seconds) << "\"" << c.text << "\"";
  }
  EXPECT_EQ(ProductConfig(nullptr).InstallTimeoutSeconds(), 242u);
}

class SwitchFile : public testing::Test {
 protected:
  void SetUp() override {
    program_ = env_.Root() + "/program/vornik-lumaclear-setup";
    platform::SetModuleFilePathForTesting(std::filesystem::path(program_).wstring());
  }
  void TearDown() override { platform::SetModuleFilePathForTesting(L""); }
  void WriteSwitches(const std::string& folder, const std::string& settings) {
    WriteFile(folder + "/mv_downloader.cfg", "[Settings]\n" + settings);
  }
  TestEnvironment env_;
  std::string program_;
};

TEST_F(SwitchFile, ValueMustBeExactlyOne) {
  const std::string folder = env_.Root() + "/program";
  EXPECT_FALSE(ProductConfig::AutoRun());  // no file
  WriteSwitches(folder, "AutoRun=2\nTestEnv=1\nCrashTest=01\n");
  EXPECT_FALSE(ProductConfig::AutoRun());
  EXPECT_TRUE(ProductConfig::TestEnv());
  EXPECT_TRUE(ProductConfig::CrashTest());
  WriteSwitches(folder, "AutoRun=1\n");
  EXPECT_TRUE(ProductConfig::AutoRun());
  EXPECT_FALSE(ProductConfig::TestEnv());
}

TEST_F(SwitchFile, OnlyBesideTheProgramAndReadEveryTime) {
  WriteSwitches(env_.Root() + "/elsewhere", "AutoRun=1\n");
  EXPECT_FALSE(ProductConfig::AutoRun());
  const std::string folder = env_.Root() + "/program";
  WriteSwitches(folder, "AutoRun=1\n");
  EXPECT_TRUE(ProductConfig::AutoRun());
  std::filesystem::remove(folder + "/mv_downloader.cfg");
  EXPECT_FALSE(ProductConfig::AutoRun());
}

}  // namespace
