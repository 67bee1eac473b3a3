// Funnel records: their exact members and layout, the free-form records, the
// main window's part, and the one-time version record in "galog.json".
#include <string>
#include <vector>

#include "EventLogFixture.h"
#include "support/TestEnvironment.h"

namespace eventlog_test {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class FunnelRecordTest : public EventLogTest {
 protected:
  Json::Value LastRecord() const {
    const auto records = FunnelRecords();
    return records.empty() ? Json::Value() : records.back();
  }
  std::string LastText() const { return report_.Calls().back().text; }
  int SendPlain() {
    return Logger()->AddUserLog_funnel("CoreFuncEvent", "Download", 3, "Download", "Start", "null",
                                       false, false);
  }
};

TEST_F(FunnelRecordTest, RecordTextMembersAndLayout) {
  InitLogger();
  EXPECT_EQ(SendPlain(), 0);
  const std::string tools = Logger()->GetToolsVersion();
  EXPECT_EQ(LastText(),
            "{\n"
            "   \"actions\" : {\n"
            "      \"core_func_name\" : \"Download\",\n"
            "      \"event_action\" : \"Start\",\n"
            "      \"event_category\" : \"Download\",\n"
            "      \"event_label\" : \"null\",\n"
            "      \"event_type\" : \"CoreFuncEvent\",\n"
            "      \"func_step\" : 3\n"
            "   },\n"
            "   \"brand\" : \"PC\",\n"
            "   \"cross_end_id\" : \"abcd\",\n"
            "   \"email\" : \"\",\n"
            "   \"is_new\" : 1,\n"
            "   \"kit_type\" : 0,\n"
            "   \"model\" : \"PC\",\n"
            "   \"phone\" : \"\",\n"
            "   \"pid\" : 9001,\n"
            "   \"product\" : \"Lumaclear\",\n"
            "   \"product_version\" : \"\",\n"
            "   \"rnclid\" : \"abcd\",\n"
            "   \"source_type\" : \"downloader\",\n"
            "   \"tools_lang\" : \"\",\n"
            "   \"tools_version\" : \"" +
                tools +
                "\"\n"
                "}\n");
}

TEST_F(FunnelRecordTest, BeforeInitProductDataIsEmpty) {
  EXPECT_EQ(SendPlain(), 0);
  const Json::Value record = LastRecord();
  EXPECT_EQ(record["is_new"], 0);
  EXPECT_EQ(record["product"], "");
  EXPECT_EQ(record["pid"], 0);
  EXPECT_EQ(record["kit_type"], 0);
}

TEST_F(FunnelRecordTest, OptionalActionMembers) {
  InitLogger();
  const struct {
    const char* eventType;
    const char* coreFuncName;
    int32_t step;
    bool hasCore;
    const char* sentType;
  } cases[] = {
      {"CoreFuncEvent", "", 5, false, "CoreFuncEvent"},
      {"", "Download", 0, true, "event"},
      {"", "", 7, false, "event"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "\"" << c.eventType << "\" \"" << c.coreFuncName << "\"");
    Logger()->AddUserLog_funnel(c.eventType, c.coreFuncName, c.step, "Cat", "Act", "Lab", true,
                                false);
    const Json::Value actions = LastRecord()["actions"];
    EXPECT_EQ(actions.isMember("core_func_name"), c.hasCore);
    EXPECT_EQ(actions.isMember("func_step"), c.hasCore);
    if (c.hasCore) {
      EXPECT_EQ(actions["core_func_name"], c.coreFuncName);
      EXPECT_EQ(actions["func_step"], c.step);
    }
    EXPECT_EQ(actions["event_type"], c.sentType);
    EXPECT_EQ(actions.size(), c.hasCore ? 6u : 4u);
  }
}

TEST_F(FunnelRecordTest, KitType) {
  const struct {
    bool special;
    bool toolkit;
    int kitType;
  } cases[] = {{false, false, 0}, {true, false, 1}, {false, true, 2}, {true, true, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "special " << c.special << ", toolkit " << c.toolkit);
    InitLogger(c.special);
    Logger()->AddUserLog_funnel("", "", 0, "C", "A", "L", true, c.toolkit);
    EXPECT_EQ(LastRecord()["kit_type"], c.kitType);
    Logger()->AddUserLog_funnelEx("C", "A", {}, true, c.toolkit);
    EXPECT_EQ(LastRecord()["kit_type"], c.kitType);
  }
}

TEST_F(FunnelRecordTest, HostileTextsStayValidJson) {
  InitLogger();
  const std::string nasty = "a\"b\\c\n}\x01{\"x\":1} \xE4\xB8\xAD";
  Logger()->AddUserLog_funnel(nasty, nasty, 1, nasty, nasty, nasty, true, false);
  const Json::Value actions = LastRecord()["actions"];
  EXPECT_EQ(actions["event_label"], nasty);
  EXPECT_EQ(actions["core_func_name"], nasty);
  EXPECT_EQ(actions["event_type"], nasty);
}

TEST_F(FunnelRecordTest, FreeFormRecord) {
  InitLogger();
  Logger()->AddUserLog_funnelEx("ErrorReporting", "Error",
                                {{"event_category", "Override"},
                                 {"", "dropped"},
                                 {"Reason", "disk full"},
                                 {"event_type", "custom"}},
                                true, false);
  const Json::Value record = LastRecord();
  Json::Value expected(Json::objectValue);
  expected["event_type"] = "custom";
  expected["event_category"] = "Override";
  expected["event_action"] = "Error";
  expected["Reason"] = "disk full";
  EXPECT_EQ(record["actions"], expected);

  // The top level is that of every funnel record.
  Logger()->AddUserLog_funnel("", "", 0, "C", "A", "L", true, false);
  Json::Value plain = LastRecord();
  Json::Value freeForm = record;
  plain.removeMember("actions");
  freeForm.removeMember("actions");
  EXPECT_EQ(freeForm, plain);
}

TEST_F(FunnelRecordTest, SinglePairFormIsTheMapWithOnePair) {
  InitLogger();
  Logger()->AddUserLog_funnelEx("C", "A", "MainErrorType", "DL019", true);
  const std::string single = LastText();
  Logger()->AddUserLog_funnelEx("C", "A", {{"MainErrorType", "DL019"}}, false, true);
  EXPECT_EQ(single, LastText());

  Logger()->AddUserLog_funnelEx("C", "A", "", "dropped", false);
  EXPECT_EQ(LastRecord()["actions"].getMemberNames(),
            (std::vector<std::string>{"event_action", "event_category", "event_type"}));
}

TEST_F(FunnelRecordTest, MainWindowGivesVersionAndLanguage) {
  InitLogger();
  SendPlain();
  EXPECT_EQ(LastRecord()["product_version"], "");
  EXPECT_EQ(LastRecord()["tools_lang"], "");

  FakeWindow window(L"\u7248\u672C 2.5", LangChineseTrad);
  Logger()->RegisterMainWindow(&window);
  SendPlain();
  EXPECT_EQ(LastRecord()["product_version"], "\xE7\x89\x88\xE6\x9C\xAC 2.5");
  EXPECT_EQ(LastRecord()["tools_lang"], "zh-tw");

  Logger()->RegisterMainWindow(nullptr);
  SendPlain();
  EXPECT_EQ(LastRecord()["tools_lang"], "");
}

// ---- Version record ---------------------------------------------------------------

class VersionRecordTest : public FunnelRecordTest {
 protected:
  Json::Value Marker() const { return ParseJson(ReadFile(GalogPath())); }
  std::string Tools() { return Logger()->GetToolsVersion(); }
};

TEST_F(VersionRecordTest, MissingMarkerIsCreatedWithOnlyTheVersion) {
  InitLogger();
  std::remove(GalogPath().c_str());
  SendPlain();
  Json::Value expected(Json::objectValue);
  expected["version"] = Tools();
  EXPECT_EQ(Marker(), expected);
}

TEST_F(VersionRecordTest, VersionIsAddedOrReplacedAndOtherMembersKept) {
  const struct {
    const char* name;
    std::string before;
  } cases[] = {
      {"absent", R"({"year":2024,"month":5,"day":17,"note":"keep"})"},
      {"other version", R"({"year":2024,"month":5,"day":17,"note":"keep","version":"0.0.0.1"})"},
      {"not a string", R"({"year":2024,"month":5,"day":17,"note":"keep","version":5})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Logger()->ResetForTesting();
    Logger()->InitLogPath(L"lumaclear_setup");
    WriteFile(GalogPath(), c.before);
    InitLogger();
    SendPlain();
    const Json::Value marker = Marker();
    EXPECT_EQ(marker["version"], Tools());
    EXPECT_EQ(marker["note"], "keep");
    EXPECT_EQ(marker["day"], 17);
  }
}

TEST_F(VersionRecordTest, EqualVersionLeavesTheFileUntouched) {
  const std::string before =
      R"({"year":2024,"month":5,"day":17,"version":")" + Tools() + R"(","x":[1,2]})";
  WriteFile(GalogPath(), before);
  InitLogger();
  ASSERT_FALSE(Logger()->IsFirstRunOfDay());
  SendPlain();
  EXPECT_EQ(ReadFile(GalogPath()), before);
}

TEST_F(VersionRecordTest, OnlyTheFirstFunnelRecordOfTheProcessWritesIt) {
  InitLogger();
  // A GA4-only event is no funnel record.
  Logger()->AddUserLog("Install", "Click", "Main");
  EXPECT_FALSE(Marker().isMember("version"));

  Logger()->AddUserLog_funnelEx("C", "A", "k", "v", false);
  EXPECT_EQ(Marker()["version"], Tools());

  WriteFile(GalogPath(), R"({"version":"old"})");
  SendPlain();
  Logger()->AddUserLog("Other", "FlowError", "DL019");
  EXPECT_EQ(Marker()["version"], "old");
}

TEST_F(VersionRecordTest, UnreadableMarkerIsReplaced) {
  InitLogger();
  WriteFile(GalogPath(), "{\"version\": \"1.0");
  SendPlain();
  Json::Value expected(Json::objectValue);
  expected["version"] = Tools();
  EXPECT_EQ(Marker(), expected);
}

}  // namespace
}  // namespace eventlog_test
