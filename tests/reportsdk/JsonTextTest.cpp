#include <gtest/gtest.h>

#include <string>

#include "JsonText.h"
#include "reportsdk/CManagement.h"
#include "support/TestEnvironment.h"

namespace {

std::string Nested(const std::string& open, size_t depth) {
  std::string text;
  for (size_t i = 0; i < depth; ++i) text += open;
  return text;
}

TEST(ParseJsonText, EveryInputHasADefinedOutcome) {
  const struct {
    std::string text;
    bool parses;
  } cases[] = {
      {R"({"a": [1, "x", null]})", true},
      {"[1, 2]", true},
      {"{broken", false},
      {"", false},
      {"\xff\xfe{}", false},
      // Deeper than the reader's stack limit: jsoncpp throws here.
      {Nested("[", 100000), false},
      {Nested("{\"a\":", 100000), false},
  };
  for (const auto& c : cases) {
    Json::Value value;
    std::string errors;
    bool parsed = false;
    EXPECT_NO_THROW(parsed = ParseJsonText(c.text, &value, &errors)) << c.text.substr(0, 40);
    EXPECT_EQ(parsed, c.parses) << c.text.substr(0, 40);
    EXPECT_EQ(errors.empty(), c.parses) << c.text.substr(0, 40);
  }
}

TEST(ParseJsonText, GivesTheValue) {
  Json::Value value;
  ASSERT_TRUE(ParseJsonText(R"({"name": "x", "n": 3})", &value));
  EXPECT_EQ(value["name"].asString(), "x");
  EXPECT_EQ(value["n"].asInt(), 3);
}

TEST(CManagementExtraCommon, HostileNestingKeepsTheEarlierExtraCommon) {
  testing_support::TestEnvironment env;
  reportsdk::CManagement management;
  management.SetExtraCommon(R"({"foo": "bar"})", "", "de", "2.0", 0);
  const std::string kept = management.Snapshot().extraCommon;
  ASSERT_NE(kept.find("\"foo\""), std::string::npos);
  EXPECT_NO_THROW(management.SetExtraCommon(Nested("[", 100000), "", "en", "3.0", 0));
  const reportsdk::CommonFields fields = management.Snapshot();
  EXPECT_EQ(fields.extraCommon, kept);
  EXPECT_EQ(fields.toolsLanguage, "en");
  EXPECT_EQ(fields.productVersion, "3.0");
}

}  // namespace
