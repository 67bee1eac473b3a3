// Events: the GA4 tail, the funnel records an event implies and their order,
// the three attempts, and the two switches that keep records from leaving.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "EventLogFixture.h"
#include "FuntionImpl.h"
#include "platform/Paths.h"
#include "support/TestEnvironment.h"

namespace eventlog_test {
namespace {

// "&a=1&b=2" -> {a: 1, b: 2}
std::map<std::string, std::string> TailParameters(const std::string& tail) {
  std::map<std::string, std::string> parameters;
  size_t start = 0;
  while (start < tail.size()) {
    size_t end = tail.find('&', start + 1);
    if (end == std::string::npos) end = tail.size();
    const std::string pair = tail.substr(start + 1, end - start - 1);
    const size_t equals = pair.find('=');
    parameters[pair.substr(0, equals)] = equals == std::string::npos ? "" : pair.substr(equals + 1);
    start = end;
  }
  return parameters;
}

// One line per send, enough to see which record went out in which order.
std::vector<std::string> Summaries(const std::vector<FakeWebLog::Call>& sends) {
  std::vector<std::string> lines;
  for (const FakeWebLog::Call& call : sends) {
    if (call.op == "ga4") {
      auto p = TailParameters(call.text);
      lines.push_back("ga4 " + p["ep.mv_category"] + "/" + p["ep.mv_action"] + "/" +
                      p["ep.mv_label"] + " en=" + p["en"]);
      continue;
    }
    const Json::Value record = ParseJson(call.text);
    const Json::Value& actions = record["actions"];
    std::string line =
        "funnel " + actions["event_category"].asString() + "/" + actions["event_action"].asString();
    if (actions.isMember("core_func_name")) {
      line += " " + actions["core_func_name"].asString() + "#" +
              std::to_string(actions["func_step"].asInt());
    }
    line += " kit" + std::to_string(record["kit_type"].asInt());
    if (actions.isMember("MainErrorType")) {
      line += " MainErrorType=" + actions["MainErrorType"].asString();
    }
    lines.push_back(line);
  }
  return lines;
}

using Lines = std::vector<std::string>;

class EventsTest : public EventLogTest {
 protected:
  // The sends caused by one event.
  Lines Send(const char* category, const char* action, const char* label) {
    const size_t before = report_.Sends().size();
    Logger()->AddUserLog(category, action, label);
    const auto sends = report_.Sends();
    return Summaries(std::vector<FakeWebLog::Call>(sends.begin() + before, sends.end()));
  }

  std::string ExpectedTail(const std::string& category, const std::string& action,
                           const std::string& label, const std::string& cd8) {
    const std::string tools = Logger()->GetToolsVersion();
    std::string language;
    std::string region;
    CSingleUserLog::SplitLocaleName(FuntionImpl::GetLocaleName(), &language, &region);
    float version = 0;
    const std::string os =
        FuntionImpl::GetOSName(&version) + (FuntionImpl::IsWow64() ? " 64bit" : " 32bit");
    return "&tid=G-R8KW2QZ5NT&ep.mv_productname=Downloader&ep.mv_productversion=" + tools +
           "&ep.mv_category=" + category + "&ep.mv_action=" + action + "&ep.mv_label=" + label +
           "&en=" + action + "&ep.cd1=" + tools + "&ep.cd2=" + FuntionImpl::TrafficTypeOfSite(54) +
           "&ep.cd3=" +
           FuntionImpl::ChannelLabelOfSite(54, "https://www.vornik.com/lumaclear_setup.exe") +
           "&ep.cd4=Lumaclear&ep.cd5=" + region + "&ep.cd6=" + language + "&ep.cd7=" + os +
           "&ep.cd8=" + cd8;
  }

  std::string LastGa4Tail() const {
    const auto sends = report_.Sends();
    return sends.empty() ? std::string() : sends.back().text;
  }
};

TEST_F(EventsTest, Ga4TailOfAKnownEvent) {
  InitLogger(false);
  // The program's own file version, not an empty stand-in.
  ASSERT_FALSE(Logger()->GetToolsVersion().empty());
  EXPECT_EQ(Logger()->GetToolsVersion(),
            FuntionImpl::GetFileVersion(platform::GetModuleFilePath()));
  EXPECT_EQ(Logger()->AddUserLog("Install", "Click", "Main"), 0);
  EXPECT_EQ(LastGa4Tail(), ExpectedTail("Install", "Click", "Main", "1"));

  // The full form ignores its extra parameters and sends the same tail.
  EXPECT_EQ(Logger()->AddUserLog(7, "Click", true, 3, "ignored", "Main", "Install"), 0);
  EXPECT_EQ(LastGa4Tail(), ExpectedTail("Install", "Click", "Main", "1"));

  // Null texts are empty texts.
  EXPECT_EQ(Logger()->AddUserLog(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(LastGa4Tail(), ExpectedTail("", "", "", "1"));

  InitLogger(true);
  Logger()->AddUserLog("Install", "Click", "Main");
  EXPECT_EQ(LastGa4Tail(), ExpectedTail("Install", "Click", "Main", "0"));
}

TEST_F(EventsTest, OrdinaryEventsSendOnlyTheGa4Event) {
  InitLogger();
  const struct {
    const char* category;
    const char* action;
    const char* label;
  } cases[] = {
      {"Install", "Click", "Main"},     {"CrashRate", "Close", ""}, {"other", "flowerror", "DL019"},
      {"Other", "FlowErrorX", "DL019"}, {"CrashRate", "close", ""}, {"Crashrate", "Close", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.category) + "/" + c.action);
    EXPECT_EQ(Send(c.category, c.action, c.label),
              Lines({std::string("ga4 ") + c.category + "/" + c.action + "/" + c.label +
                     " en=" + c.action}));
  }
}

TEST_F(EventsTest, FlowErrorSequenceAcrossARun) {
  InitLogger();
  EXPECT_EQ(
      Send("Other", "FlowError", "DL019"),
      Lines({"funnel ErrorReporting/Error kit0 MainErrorType=DL019",
             "funnel Download/CoreFuncStart FlowError#0 kit0",
             "funnel Download/DL019 FlowError#0 kit0", "ga4 Other/FlowError/DL019 en=FlowError"}));
  EXPECT_EQ(
      Send("Other", "FlowError", "DL020"),
      Lines({"funnel ErrorReporting/Error kit0 MainErrorType=DL020",
             "funnel Download/DL020 FlowError#1 kit0", "ga4 Other/FlowError/DL020 en=FlowError"}));
  // Another category still advances the sequence but is no error report.
  EXPECT_EQ(Send("Install", "FlowError", "DL021"),
            Lines({"funnel Download/DL021 FlowError#2 kit0",
                   "ga4 Install/FlowError/DL021 en=FlowError"}));
  EXPECT_EQ(Send("CrashRate", "Close", ""), Lines({"funnel Download/CoreFuncEnd FlowError#0 kit0",
                                                   "ga4 CrashRate/Close/ en=Close"}));
  // The flags are never reset: a second close closes again.
  EXPECT_EQ(Send("CrashRate", "Close", "again"),
            Lines({"funnel Download/CoreFuncEnd FlowError#0 kit0",
                   "ga4 CrashRate/Close/again en=Close"}));

  // Every derived record is a "CoreFuncEvent" of category "Download" with label "null".
  for (const Json::Value& record : FunnelRecords()) {
    const Json::Value& actions = record["actions"];
    if (!actions.isMember("core_func_name")) continue;
    EXPECT_EQ(actions["event_type"], "CoreFuncEvent");
    EXPECT_EQ(actions["event_label"], "null");
  }
}

TEST_F(EventsTest, ToolkitErrorSequenceAndClosingBoth) {
  InitLogger(true);
  // A special downloader's start record carries kit type 1, the steps 2.
  EXPECT_EQ(Send("Other", "FlowErrorIsChToolKitErrorCode", "K1"),
            Lines({"funnel Download/CoreFuncStart FlowIsChToolKitError#0 kit1",
                   "funnel Download/K1 FlowIsChToolKitError#0 kit2",
                   "ga4 Other/FlowErrorIsChToolKitErrorCode/K1 en=FlowErrorIsChToolKitErrorCode"}));
  EXPECT_EQ(Send("Other", "FlowErrorIsChToolKitErrorCode", "K2"),
            Lines({"funnel Download/K2 FlowIsChToolKitError#1 kit2",
                   "ga4 Other/FlowErrorIsChToolKitErrorCode/K2 en=FlowErrorIsChToolKitErrorCode"}));
  Send("Other", "FlowError", "DL002");
  EXPECT_EQ(Send("CrashRate", "Close", ""),
            Lines({"funnel Download/CoreFuncEnd FlowError#0 kit1",
                   "funnel Download/CoreFuncEnd FlowIsChToolKitError#0 kit1",
                   "ga4 CrashRate/Close/ en=Close"}));
}

TEST_F(EventsTest, ErrorEventsFromTwoThreadsNumberEveryStepOnce) {
  InitLogger();
  constexpr int kPerThread = 50;
  auto sendErrors = [this](const char* label) {
    for (int i = 0; i < kPerThread; ++i) Logger()->AddUserLog("Other", "FlowError", label);
  };
  std::thread first(sendErrors, "DL003");
  std::thread second(sendErrors, "DL004");
  first.join();
  second.join();

  int starts = 0;
  std::vector<int> steps;
  for (const Json::Value& record : FunnelRecords()) {
    const Json::Value& actions = record["actions"];
    if (actions["core_func_name"] != "FlowError") continue;
    if (actions["event_action"] == "CoreFuncStart") {
      ++starts;
    } else {
      steps.push_back(actions["func_step"].asInt());
    }
  }
  EXPECT_EQ(starts, 1);
  std::sort(steps.begin(), steps.end());
  std::vector<int> expected(2 * kPerThread);
  for (int i = 0; i < 2 * kPerThread; ++i) expected[i] = i;
  EXPECT_EQ(steps, expected);
}

TEST_F(EventsTest, ThreeAttemptsThenTheLogLine) {
  InitLogger();
  LogRecorder log;
  const struct {
    std::vector<int> answers;
    size_t calls;
    int result;
  } cases[] = {
      {{}, 1, 0},
      {{-1, 157, 0}, 3, 0},
      {{-1, -1, -1}, 3, -1},
      {{5, 7, 9}, 3, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "result " << c.result << ", calls " << c.calls);
    const bool fails = c.result != 0;
    const std::string tail = std::to_string(c.result);

    report_.ScriptGa4(c.answers);
    size_t before = report_.Sends().size();
    EXPECT_EQ(Logger()->AddUserLog("Install", "Click", "Main"), c.result);
    EXPECT_EQ(report_.Sends().size() - before, c.calls);
    EXPECT_EQ(log.Contains("send ga4 fail, bWait = true, retry is max, retcode = " + tail +
                           ", Install###Click"),
              fails);

    report_.ScriptFunnel(c.answers);
    before = report_.Sends().size();
    EXPECT_EQ(
        Logger()->AddUserLog_funnel("", "Download", 1, "Download", "Start", "null", false, false),
        c.result);
    EXPECT_EQ(report_.Sends().size() - before, c.calls);
    EXPECT_EQ(log.Contains("send funnel fail, bWait = true, retry is max, retcode = " + tail +
                           ", Download###Start"),
              fails);
  }
}

TEST_F(EventsTest, RefusedDerivedRecordsDoNotChangeTheEventsResult) {
  InitLogger();
  report_.ScriptFunnel({1, 1, 1, 2, 2, 2, 3, 3, 3});
  EXPECT_EQ(Logger()->AddUserLog("Other", "FlowError", "DL019"), 0);
  EXPECT_EQ(report_.Sends().size(), 10u);
  EXPECT_EQ(report_.Sends().back().op, "ga4");
}

TEST_F(EventsTest, AutoRunKeepsEveryRecordInTheProcess) {
  testing_support::WriteFile(env_.Root() + "/bin/mv_downloader.cfg", "[Settings]\nAutoRun=1\n");
  InitLogger();
  // Start-up still runs: the day marker and the SDK's initialisation.
  EXPECT_EQ(report_.Inits().size(), 1u);
  EXPECT_EQ(report_.DownloaderInfos().size(), 1u);
  EXPECT_TRUE(Logger()->IsFirstRunOfDay());
  EXPECT_FALSE(testing_support::ReadFile(GalogPath()).empty());

  EXPECT_EQ(Logger()->AddUserLog("Other", "FlowError", "DL019"), -99);
  EXPECT_EQ(Logger()->AddUserLog("CrashRate", "Close", ""), -99);
  EXPECT_EQ(Logger()->AddUserLog_funnel("CoreFuncEvent", "Download", 0, "Download", "Start", "null",
                                        true, false),
            -99);
  EXPECT_EQ(Logger()->AddUserLog_funnelEx("C", "A", {{"k", "v"}}, true, false), -99);
  EXPECT_EQ(Logger()->AddUserLog_funnelEx("C", "A", "k", "v", false), -99);
  EXPECT_TRUE(report_.Sends().empty());
  EXPECT_FALSE(ParseJson(testing_support::ReadFile(GalogPath())).isMember("version"));

  // Nothing was started either: without the switch the first error opens the sequence.
  std::remove((env_.Root() + "/bin/mv_downloader.cfg").c_str());
  EXPECT_EQ(Send("Install", "FlowError", "DL005"),
            Lines({"funnel Download/CoreFuncStart FlowError#0 kit0",
                   "funnel Download/DL005 FlowError#0 kit0",
                   "ga4 Install/FlowError/DL005 en=FlowError"}));
}

TEST_F(EventsTest, WithoutAReportObjectNothingIsBuilt) {
  Logger()->SetReportObjForTesting(nullptr);
  InitLogger();
  EXPECT_TRUE(Logger()->IsFirstRunOfDay());
  EXPECT_EQ(Logger()->AddUserLog("Other", "FlowError", "DL019"), -1);
  EXPECT_EQ(Logger()->AddUserLog_funnel("", "", 0, "C", "A", "L", true, false), -1);
  EXPECT_EQ(Logger()->AddUserLog_funnelEx("C", "A", {{"k", "v"}}, true, true), -1);
  EXPECT_EQ(Logger()->AddUserLog_funnelEx("C", "A", "k", "v", false), -1);
  Logger()->UpdateCommonInfo(LangGerman, "1.0");
  EXPECT_TRUE(report_.Calls().empty());
  // The version record belongs to a record being built.
  EXPECT_FALSE(ParseJson(testing_support::ReadFile(GalogPath())).isMember("version"));
}

class Ga4LimitTest : public EventsTest {
 protected:
  void SetUp() override {
    EventsTest::SetUp();
    InitLogger();
    Logger()->AddUserLog("Install", "Click", "");
    withoutLabel_ = LastGa4Tail().size();
    ASSERT_LT(withoutLabel_, CSingleUserLog::kMaxGa4Text);
  }
  std::string LabelSent() {
    auto parameters = TailParameters(LastGa4Tail());
    return parameters["ep.mv_label"];
  }
  size_t withoutLabel_ = 0;
};

TEST_F(Ga4LimitTest, LabelIsShortenedSoTheTailFits) {
  const size_t room = CSingleUserLog::kMaxGa4Text - withoutLabel_;
  const std::string fits(room, 'y');
  Logger()->AddUserLog("Install", "Click", fits.c_str());
  EXPECT_EQ(LastGa4Tail().size(), CSingleUserLog::kMaxGa4Text);
  EXPECT_EQ(LabelSent(), fits);

  for (size_t length : {room + 1, size_t{20000}}) {
    const std::string tooLong(length, 'x');
    Logger()->AddUserLog("Install", "Click", tooLong.c_str());
    const std::string tail = LastGa4Tail();
    EXPECT_EQ(tail.size(), CSingleUserLog::kMaxGa4Text);
    EXPECT_EQ(LabelSent(), std::string(room, 'x'));
    // Everything after the label is intact.
    EXPECT_EQ(tail.substr(tail.size() - 9), "&ep.cd8=1");
    EXPECT_NE(tail.find("&en=Click&ep.cd1="), std::string::npos);
  }
}

TEST_F(Ga4LimitTest, ShortenedLabelKeepsWholeCharacters) {
  std::string label;
  for (int i = 0; i < 3000; ++i) label += "\xC3\xA9";  // "é"
  Logger()->AddUserLog("Install", "Click", label.c_str());
  const std::string sent = LabelSent();
  EXPECT_LE(LastGa4Tail().size(), CSingleUserLog::kMaxGa4Text);
  EXPECT_GE(sent.size() + 1, CSingleUserLog::kMaxGa4Text - withoutLabel_);
  EXPECT_EQ(sent.size() % 2, 0u);
  EXPECT_EQ(label.compare(0, sent.size(), sent), 0);
}

TEST_F(Ga4LimitTest, OversizedFixedPartsAreCutNotOverflowed) {
  const std::string hugeName(10000, 'n');
  Logger()->Init(127, 54, "1.2.3", hugeName, "https://www.vornik.com/lumaclear_setup.exe", false,
                 9001);
  const std::string hugeAction(6000, 'a');
  EXPECT_EQ(Logger()->AddUserLog("Install", hugeAction.c_str(), "label"), 0);
  const std::string tail = LastGa4Tail();
  EXPECT_EQ(tail.size(), CSingleUserLog::kMaxGa4Text);
  EXPECT_EQ(tail.rfind("&tid=G-R8KW2QZ5NT&ep.mv_productname=Downloader", 0), 0u);
}

}  // namespace
}  // namespace eventlog_test
