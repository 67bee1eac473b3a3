// Records of the report SDK as built and checked before anything is sent.
#include <gtest/gtest.h>

#include "reportsdk/CManagement.h"
#include "reportsdk/FunnelRecord.h"
#include "reportsdk/RecordKey.h"

namespace {

using reportsdk::BuildFunnelRecord;
using reportsdk::ValidateFunnelRecord;

reportsdk::CommonFields Common() {
  reportsdk::CommonFields common;
  common.type = 2;
  common.mainPid = 2739;
  common.parentPid = 7;
  common.downloaderId = 127;
  common.kitType = 0;
  common.product = "Vornik Lumaclear";
  common.productVersion = "1.0.0.0";
  common.toolsLanguage = "en";
  common.toolsVersion = "1.0.0.1";
  common.sessionId = "6F1C2A9E-0B3D-4C5E-8F70-112233445566";
  common.uid = "0f6a3b7e-5d2c";
  common.osName = "Debian-64";
  common.osVersion = "12(6.1)";
  common.mac = "00:11:22:33:44:AA";
  common.boardMaker = "Vornik Boards";
  common.boardProduct = "VB-1";
  return common;
}

const char kInput[] =
    R"({"is_new": 1, "brand": "PC", "product": "ignored", "kit_type": 9, "channel": "web",
        "actions": {"event_category": "Download", "event_action": "1.Launch"}, "pid": 5})";

TEST(FunnelRecordTest, CommonFieldsComeFromTheSdkAndOnlyNamedInputMembersAreTaken) {
  const Json::Value record = BuildFunnelRecord(kInput, Common(), 1700000000123);
  const Json::Value& common = record["common"];
  EXPECT_EQ(common["pid"].asInt64(), 2739);  // main pid for a downloader, not the input's
  EXPECT_EQ(common["brand"].asString(), "Vornik Boards");
  EXPECT_EQ(common["model"].asString(), "VB-1");
  EXPECT_EQ(common["product"].asString(), "Vornik Lumaclear");
  EXPECT_EQ(common["kit_type"].asInt(), 0);
  EXPECT_EQ(common["downloader_id"].asInt(), 127);
  EXPECT_EQ(common["channel"].asString(), "web");
  EXPECT_EQ(common["is_new"].asInt(), 1);
  EXPECT_TRUE(common["is_vip"].isNull());
  EXPECT_TRUE(common["is_login"].isNull());
  EXPECT_EQ(common["source_type"].asString(), "downloader");
  EXPECT_EQ(common["session_id"].asString(), "6F1C2A9E-0B3D-4C5E-8F70-112233445566");
  EXPECT_EQ(record["actions"]["event_action"].asString(), "1.Launch");
  EXPECT_EQ(record["ts"].asInt64(), 1700000000123);
  EXPECT_FALSE(record.isMember("start"));
  EXPECT_FALSE(record.isMember("monitor"));
  EXPECT_EQ(ValidateFunnelRecord(record), 0);
}

TEST(FunnelRecordTest, ProductTypeTakesTheParentPidAndOptionalBlocksFollowTheInput) {
  reportsdk::CommonFields common = Common();
  common.type = 1;
  const Json::Value record = BuildFunnelRecord(
      R"({"entry": "tray", "monitor_type": "crash", "monitor_guid": "g", "monitor_sub_pid": 42,
          "actions": {"event_category": "c", "event_action": "a"}})",
      common, 1700000000123);
  EXPECT_EQ(record["common"]["pid"].asInt64(), 7);
  EXPECT_EQ(record["common"]["source_type"].asString(), "product");
  EXPECT_EQ(record["start"]["entry"].asString(), "tray");
  EXPECT_EQ(record["monitor"]["monitor_type"].asString(), "crash");
  EXPECT_EQ(record["monitor"]["guid"].asString(), "g");
  EXPECT_EQ(record["monitor"]["param"]["ext"]["pid"].asInt(), 42);
  EXPECT_EQ(record["monitor"]["param"]["error_code"].asString(), "");
}

TEST(FunnelRecordTest, BrokenOrHostileInputGivesADefinedRecord) {
  const std::string deep = "{\"a\":" + std::string(50000, '[') + std::string(50000, ']') + "}";
  for (const char* input : {"", "not json", "[1,2]", "{\"actions\": \"text\"}", deep.c_str(),
                            "{\"actions\": {\"event_category\": 5, \"event_action\": []}}"}) {
    SCOPED_TRACE(input);
    const Json::Value record = BuildFunnelRecord(input, Common(), 1700000000123);
    EXPECT_EQ(record["common"]["uid"].asString(), "0f6a3b7e-5d2c");
    EXPECT_EQ(ValidateFunnelRecord(record), 163);
  }
}

TEST(FunnelRecordTest, ExtraCommonMembersJoinCommonAndReplaceEqualNames) {
  reportsdk::CommonFields common = Common();
  common.extraCommon = R"({"foo": "bar", "uid": "not reserved here"})";
  const Json::Value record = BuildFunnelRecord(kInput, common, 1700000000123);
  EXPECT_EQ(record["common"]["foo"].asString(), "bar");
  EXPECT_EQ(record["common"]["uid"].asString(), "not reserved here");
}

TEST(FunnelRecordTest, ValidationCodesInOrder) {
  struct Case {
    const char* what;
    void (*change)(Json::Value& record);
    int code;
  };
  const Case cases[] = {
      {"no session", [](Json::Value& r) { r["common"]["session_id"] = ""; }, 157},
      {"no uid", [](Json::Value& r) { r["common"]["uid"] = ""; }, 158},
      {"pid 1000", [](Json::Value& r) { r["common"]["pid"] = 1000; }, 159},
      {"pid 1001", [](Json::Value& r) { r["common"]["pid"] = 1001; }, 0},
      {"no product version", [](Json::Value& r) { r["common"]["product_version"] = ""; }, 160},
      {"short rnclid", [](Json::Value& r) { r["common"]["rnclid"] = "abcd"; }, 161},
      {"17-char rnclid", [](Json::Value& r) { r["common"]["rnclid"] = "12345678901234567"; }, 161},
      {"long letters", [](Json::Value& r) { r["common"]["rnclid"] = "12345678901234567x"; }, 162},
      {"long digits", [](Json::Value& r) { r["common"]["rnclid"] = "123456789012345678"; }, 0},
      {"no category", [](Json::Value& r) { r["actions"]["event_category"] = ""; }, 163},
      {"no action", [](Json::Value& r) { r["actions"]["event_action"] = ""; }, 164},
      {"short ts", [](Json::Value& r) { r["ts"] = static_cast<Json::Int64>(999999999999); }, 165},
      {"negative ts", [](Json::Value& r) { r["ts"] = static_cast<Json::Int64>(-1000000000000); },
       166},
      {"session before uid",
       [](Json::Value& r) {
         r["common"]["session_id"] = "";
         r["common"]["uid"] = "";
       },
       157},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Json::Value record = BuildFunnelRecord(kInput, Common(), 1700000000123);
    c.change(record);
    EXPECT_EQ(ValidateFunnelRecord(record), c.code);
  }
}

TEST(Ga4RequestTest, PercentEncodingKeepsTheQuerySeparators) {
  EXPECT_EQ(reportsdk::PercentEncodeTail("&ep.mv_label=a b&en=x"), "&ep.mv_label=a%20b&en=x");
  EXPECT_EQ(reportsdk::PercentEncodeTail("-_.!~*'()/:?#%+"), "-_.!~*'()%2f%3a%3f%23%25%2b");
  EXPECT_EQ(reportsdk::PercentEncodeTail("\xc3\xa9"), "%c3%a9");
  EXPECT_EQ(reportsdk::PercentEncodeTail(std::string("a\0b", 3)), "a%00b");
  EXPECT_EQ(reportsdk::Ga4ClientId("1A2B", "00:11:22:33:44:AA"), "1A2B0011223344AA");
  EXPECT_EQ(reportsdk::Ga4ClientId("", ""), "");
  EXPECT_EQ(reportsdk::TextBetween("&ep.mv_category=Down&ep.mv_action=x",
                                   "&ep.mv_category=", "&ep.mv_action="),
            "Down");
  EXPECT_EQ(reportsdk::TextBetween("no markers", "&a=", "&b="), "");
}

TEST(RecordKeyTest, KeysCarryKindTimestampCategoryAndAction) {
  const std::string key = reportsdk::MakeRecordKey(2, 1700000000123, "Download", "1.Launch");
  EXPECT_EQ(key, "2::1700000000123::Download::1.Launch");
  const reportsdk::ParsedKey parsed = reportsdk::ParseRecordKey(key);
  EXPECT_EQ(parsed.prefix, "2::");
  EXPECT_EQ(parsed.timestampMs, 1700000000123);
  EXPECT_EQ(parsed.rest, "::Download::1.Launch");
  EXPECT_EQ(reportsdk::ParseRecordKey("1::").timestampMs, 0);
  EXPECT_EQ(reportsdk::ParseRecordKey("").prefix, "");
  const std::string now = std::to_string(reportsdk::LocalTimestampMs());
  EXPECT_EQ(now.size(), 13u);
  EXPECT_EQ(now.find_first_not_of("0123456789"), std::string::npos);
}

TEST(CrossIdTest, TextBetweenTheLastUnderscoreAndTheLastDot) {
  EXPECT_EQ(reportsdk::CManagement::CrossIdOfName("lumaclear_setup_abcd.exe"), "abcd");
  EXPECT_EQ(reportsdk::CManagement::CrossIdOfName("vornik-setup.exe"), "");
  EXPECT_EQ(reportsdk::CManagement::CrossIdOfName("a_b"), "");
  EXPECT_EQ(reportsdk::CManagement::CrossIdOfName("a.b_c"), "");
  EXPECT_EQ(reportsdk::CManagement::CrossIdOfName("x_.exe"), "");
}

}  // namespace
