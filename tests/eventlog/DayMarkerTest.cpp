// The day check on "galog.json" and the report SDK's start-up calls.
#include <filesystem>
#include <string>

#include "EventLogFixture.h"
#include "support/TestEnvironment.h"

namespace eventlog_test {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class DayMarkerTest : public EventLogTest {
 protected:
  Json::Value Marker() const { return ParseJson(ReadFile(GalogPath())); }
  void ExpectToday(const Json::Value& marker) const {
    EXPECT_EQ(marker["year"], today_.year);
    EXPECT_EQ(marker["month"], today_.month);
    EXPECT_EQ(marker["day"], today_.day);
  }
  // A new run of the program in the same log folder.
  void Restart() {
    Logger()->ResetForTesting();
    Logger()->InitLogPath(L"lumaclear_setup");
    InitLogger();
  }
  void ExpectNoTemporaryFiles() const {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(GalogPath()).parent_path())) {
      EXPECT_EQ(entry.path().filename().string(), "galog.json");
    }
  }
};

TEST_F(DayMarkerTest, MissingMarkerIsTheFirstRunAndWritten) {
  InitLogger();
  EXPECT_TRUE(Logger()->IsFirstRunOfDay());
  const Json::Value marker = Marker();
  ExpectToday(marker);
  EXPECT_EQ(marker.size(), 3u);
  // The styled writer's layout.
  EXPECT_EQ(ReadFile(GalogPath()),
            "{\n   \"day\" : 17,\n   \"month\" : 5,\n   \"year\" : 2024\n}\n");
  ExpectNoTemporaryFiles();
}

TEST_F(DayMarkerTest, SameDayLeavesTheMarkerUntouched) {
  const std::string before = R"({"year":2024,"month":5,"day":17,"version":"x","n":{"a":1}})";
  WriteFile(GalogPath(), before);
  InitLogger();
  EXPECT_FALSE(Logger()->IsFirstRunOfDay());
  EXPECT_EQ(ReadFile(GalogPath()), before);
}

TEST_F(DayMarkerTest, OtherDateIsTheFirstRunAndKeepsOtherMembers) {
  const char* cases[] = {
      R"({"year":2024,"month":5,"day":16,"version":"x","n":{"a":1}})",
      R"({"year":2024,"month":4,"day":17,"version":"x","n":{"a":1}})",
      R"({"year":2023,"month":5,"day":17,"version":"x","n":{"a":1}})",
      R"({"year":"2024","month":"5","day":"17","version":"x","n":{"a":1}})",
      R"({"month":5,"day":17,"version":"x","n":{"a":1}})",
      R"({"year":2024.5,"month":5,"day":17,"version":"x","n":{"a":1}})",
      R"({"year":1e300,"month":5,"day":17,"version":"x","n":{"a":1}})",
  };
  for (const char* before : cases) {
    SCOPED_TRACE(before);
    WriteFile(GalogPath(), before);
    Restart();
    EXPECT_TRUE(Logger()->IsFirstRunOfDay());
    const Json::Value marker = Marker();
    ExpectToday(marker);
    EXPECT_EQ(marker["version"], "x");
    EXPECT_EQ(marker["n"]["a"], 1);
    ExpectNoTemporaryFiles();
  }
}

TEST_F(DayMarkerTest, BrokenMarkerIsTheFirstRunAndRewritten) {
  const std::string cases[] = {
      "",
      "not json",
      "{\"year\":2024,\"month\":5,",
      "[2024,5,17]",
      "17",
      "\"2024-05-17\"",
      std::string("\xFF\xFE\x00{", 4),
      std::string(100000, '[') + std::string(100000, ']'),
      std::string((1 << 20) + 10, ' ') + R"({"year":2024,"month":5,"day":17})",
  };
  for (const std::string& before : cases) {
    SCOPED_TRACE(before.substr(0, 40));
    WriteFile(GalogPath(), before);
    Restart();
    EXPECT_TRUE(Logger()->IsFirstRunOfDay());
    const Json::Value marker = Marker();
    ExpectToday(marker);
    EXPECT_EQ(marker.size(), 3u);
  }
}

TEST_F(DayMarkerTest, RunsAcrossDays) {
  InitLogger();
  EXPECT_TRUE(Logger()->IsFirstRunOfDay());
  Restart();
  EXPECT_FALSE(Logger()->IsFirstRunOfDay());
  today_ = platform::SystemTime{2024, 5, 18, 0, 0, 1, 0};
  Restart();
  EXPECT_TRUE(Logger()->IsFirstRunOfDay());
  ExpectToday(Marker());
  Restart();
  EXPECT_FALSE(Logger()->IsFirstRunOfDay());
}

TEST_F(DayMarkerTest, FirstRunOfDayShowsInFunnelRecords) {
  InitLogger();
  Logger()->AddUserLog_funnelEx("C", "A", "k", "v", false);
  Restart();
  Logger()->AddUserLog_funnelEx("C", "A", "k", "v", false);
  const auto records = FunnelRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]["is_new"], 1);
  EXPECT_EQ(records[1]["is_new"], 0);
}

TEST_F(DayMarkerTest, UnwritableMarkerStillInitialisesTheSdk) {
  std::filesystem::create_directories(GalogPath());  // a folder where the file belongs
  InitLogger();
  EXPECT_TRUE(Logger()->IsFirstRunOfDay());
  EXPECT_EQ(report_.Inits().size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(GalogPath()));
}

TEST_F(DayMarkerTest, WithoutALogFolderTheRunCountsAsFirst) {
  Logger()->ResetForTesting();
  InitLogger();
  EXPECT_TRUE(Logger()->IsFirstRunOfDay());
  EXPECT_EQ(report_.Inits().size(), 1u);
  EXPECT_EQ(Logger()->AddUserLog_funnelEx("C", "A", "k", "v", false), 0);
}

TEST_F(DayMarkerTest, InitHandsTheStartUpDataToTheSdk) {
  for (bool special : {false, true}) {
    SCOPED_TRACE(special);
    Restart();
    Logger()->Init(127, 54, "1.2.3", "Lumaclear", "https://x/y.exe", special, 9001);
    const auto init = report_.Inits().back();
    EXPECT_EQ(init.type, 2);
    EXPECT_EQ(init.mainPid, 9001);
    EXPECT_EQ(init.parentPid, 9001);
    EXPECT_EQ(init.email, "");
    EXPECT_EQ(init.phone, "");
    EXPECT_EQ(init.product, "Lumaclear");
    EXPECT_EQ(init.productVersion, "1.2.3");
    EXPECT_EQ(init.userId, "");
    const auto info = report_.DownloaderInfos().back();
    EXPECT_EQ(info.downloaderId, 127);
    EXPECT_EQ(info.kitType, special ? 1 : 0);
    EXPECT_EQ(info.toolsLanguage, "en");
    EXPECT_EQ(info.toolsVersion, Logger()->GetToolsVersion());
    const auto calls = report_.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].op, "init");
    EXPECT_EQ(calls.back().op, "downloader_info");
  }
}

}  // namespace
}  // namespace eventlog_test
