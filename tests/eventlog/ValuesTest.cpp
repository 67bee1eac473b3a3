// The logger's small shared values and machine facts: number cache, download
// settings, channel id, locale split, language codes, common information.
#include <string>
#include <thread>

#include "EventLogFixture.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"

namespace eventlog_test {
namespace {

using ValuesTest = EventLogTest;

TEST_F(ValuesTest, NumberCache) {
  CSingleUserLog* log = Logger();
  log->SetCacheValue("length", 5);
  log->SetCacheValue("negative", -3);
  log->SetCacheValue("big", INT64_MAX);
  log->SetCacheValue("zero", 0);
  log->SetCacheValue("", 7);
  EXPECT_EQ(log->GetCacheValue("length"), 5);
  EXPECT_EQ(log->GetCacheValue("negative"), -3);
  EXPECT_EQ(log->GetCacheValue("big"), INT64_MAX);
  EXPECT_EQ(log->GetCacheValue("zero"), 0);
  EXPECT_EQ(log->GetCacheValue(""), 0);
  EXPECT_EQ(log->GetCacheValue("never"), 0);
  EXPECT_EQ(log->GetCacheValue("Length"), 0);

  log->SetCacheValue("length", 9);
  EXPECT_EQ(log->GetCacheValue("length"), 9);
  // 0 is not stored, so it does not replace an older value either.
  log->SetCacheValue("length", 0);
  EXPECT_EQ(log->GetCacheValue("length"), 9);
}

TEST_F(ValuesTest, DownloadSettingsArePublishedToOtherThreads) {
  std::thread parser([this] { Logger()->SetDownloadSettings(1, 12, 4194304, 30); });
  parser.join();
  EXPECT_EQ(Logger()->GetDownloaderConfig(), 1);
  EXPECT_EQ(Logger()->GetSliceNum(), 12);
  EXPECT_EQ(Logger()->GetSliceSize(), 4194304);
  EXPECT_EQ(Logger()->GetAdditionalTime(), 30);
}

TEST_F(ValuesTest, ChannelIdOfFileName) {
  const struct {
    const wchar_t* path;
    const char* channel;
  } cases[] = {
      {L"lumaclear_setup_abcd.exe", "abcd"},
      {L"/opt/x/lumaclear_setup_abcd.exe", "abcd"},
      {L"/opt/a_b/setup.exe", ""},
      {L"setup.exe", ""},
      {L"lumaclear_setup_abcd", ""},
      {L"", ""},
      {L"setup_.exe", ""},
      {L"setup_a.b.exe", "a.b"},
      {L"setup.v2_abc", ""},
      {L"/opt/x.y/setup_z", ""},
      {L"setup_\u00e9\u4e2d.exe", "\xC3\xA9\xE4\xB8\xAD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.path));
    EXPECT_EQ(CSingleUserLog::ChannelIdOfFileName(c.path), c.channel);
  }
  // The logger's own channel id comes from the program's file name.
  EXPECT_EQ(Logger()->GetChannelId(), "abcd");
  platform::SetModuleFilePathForTesting(L"/opt/bin/setup.exe");
  Logger()->ResetForTesting();
  EXPECT_EQ(Logger()->GetChannelId(), "");
}

TEST_F(ValuesTest, LocaleNameSplit) {
  const struct {
    const char* name;
    const char* language;
    const char* region;
  } cases[] = {
      {"English_United States", "English", "United States"},
      {"Chinese_Taiwan_Region", "Chinese", "Taiwan_Region"},
      {"0x0415_0x0415", "0x0415", "0x0415"},
      {"English", "Unknown", "Unknown"},
      {"", "Unknown", "Unknown"},
      {"_Nowhere", "", "Nowhere"},
      {"German_", "German", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string language = "stale";
    std::string region = "stale";
    CSingleUserLog::SplitLocaleName(c.name, &language, &region);
    EXPECT_EQ(language, c.language);
    EXPECT_EQ(region, c.region);
  }
}

TEST_F(ValuesTest, LanguageCodes) {
  const struct {
    int value;
    const char* code;
    const char* name;
  } cases[] = {
      {LangEnglish, "en", "English"},
      {LangJapanese, "ja", "Japanese"},
      {LangChinese, "zh-cn", "Chinese"},
      {LangItaliano, "it", "Italiano"},
      {LangChineseTrad, "zh-tw", "ChineseTrad"},
      {LangNederlands, "nl", "Nederlands"},
      {LangMalay, "my", "Malay"},
      {LangSwedish, "se", "Swedish"},
      {LangCzech, "cz", "Czech"},
      {-1, "en", "English"},
      {kLanguageCount, "en", "English"},
      {1000, "en", "English"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_STREQ(LanguageTelemetryCode(static_cast<EnumLanguage>(c.value)), c.code);
    EXPECT_STREQ(LanguageEventName(static_cast<EnumLanguage>(c.value)), c.name);
  }
}

TEST_F(ValuesTest, CommonInformation) {
  Logger()->UpdateCommonInfo(LangJapanese, "3.1.0");
  Logger()->UpdateCommonInfo(static_cast<EnumLanguage>(42), "");
  const auto calls = report_.ExtraCommons();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].extraCommon, "");
  EXPECT_EQ(calls[0].userId, "");
  EXPECT_EQ(calls[0].toolsLanguage, "ja");
  EXPECT_EQ(calls[0].productVersion, "3.1.0");
  EXPECT_EQ(calls[0].parentPid, 0);
  EXPECT_EQ(calls[1].toolsLanguage, "en");
  EXPECT_EQ(calls[1].productVersion, "");
}

}  // namespace
}  // namespace eventlog_test
