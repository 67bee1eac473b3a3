#include "EventLogFixture.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "platform/Encoding.h"
#include "platform/Paths.h"

namespace eventlog_test {

namespace {

std::string Text(const char* text) { return text ? text : "<null>"; }

int NextAnswer(std::deque<int>* answers) {
  if (answers->empty()) return 0;
  const int answer = answers->front();
  answers->pop_front();
  return answer;
}

}  // namespace

int FakeWebLog::Init(int32_t type, int32_t mainPid, int32_t parentPid, const char* email,
                     const char* phone, const char* product, const char* productVersion,
                     const char* userId) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back({"init", ""});
  inits_.push_back({type, mainPid, parentPid, Text(email), Text(phone), Text(product),
                    Text(productVersion), Text(userId)});
  return 0;
}

int FakeWebLog::SetDownloaderInfo(int32_t downloaderId, int32_t kitType, const char* toolsLanguage,
                                  const char* toolsVersion) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back({"downloader_info", ""});
  downloaderInfos_.push_back({downloaderId, kitType, Text(toolsLanguage), Text(toolsVersion)});
  return 0;
}

int FakeWebLog::SetExtraCommon(const char* extraCommonJson, const char* userId,
                               const char* toolsLanguage, const char* productVersion,
                               int32_t parentPid) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back({"extra_common", ""});
  extraCommons_.push_back(
      {Text(extraCommonJson), Text(userId), Text(toolsLanguage), Text(productVersion), parentPid});
  return 0;
}

int FakeWebLog::SendFunnel(const char* recordJson) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back({"funnel", Text(recordJson)});
  return NextAnswer(&funnelAnswers_);
}

int FakeWebLog::SendGa4(const char* queryTail) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back({"ga4", Text(queryTail)});
  return NextAnswer(&ga4Answers_);
}

void FakeWebLog::ScriptFunnel(std::vector<int> answers) {
  std::lock_guard<std::mutex> lock(mutex_);
  funnelAnswers_.assign(answers.begin(), answers.end());
}

void FakeWebLog::ScriptGa4(std::vector<int> answers) {
  std::lock_guard<std::mutex> lock(mutex_);
  ga4Answers_.assign(answers.begin(), answers.end());
}

std::vector<FakeWebLog::Call> FakeWebLog::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<FakeWebLog::Call> FakeWebLog::Sends() const {
  std::vector<Call> sends = Calls();
  sends.erase(
      std::remove_if(sends.begin(), sends.end(),
                     [](const Call& call) { return call.op != "funnel" && call.op != "ga4"; }),
      sends.end());
  return sends;
}

std::vector<FakeWebLog::InitArgs> FakeWebLog::Inits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inits_;
}

std::vector<FakeWebLog::DownloaderInfoArgs> FakeWebLog::DownloaderInfos() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return downloaderInfos_;
}

std::vector<FakeWebLog::ExtraCommonArgs> FakeWebLog::ExtraCommons() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return extraCommons_;
}

Json::Value ParseJson(const std::string& text) {
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  std::string errors;
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors))
      << errors << "\n"
      << text;
  return value;
}

void EventLogTest::SetUp() {
  std::filesystem::create_directories(env_.Root() + "/bin");
  platform::SetModuleFilePathForTesting(platform::FromUtf8(ProgramPath()));
  today_ = platform::SystemTime{2024, 5, 17, 10, 30, 0, 0};
  Logger()->SetReportObjForTesting(&report_);
  Logger()->SetClockForTesting([this] { return today_; });
  Logger()->ResetForTesting();
  Logger()->InitLogPath(L"lumaclear_setup");
}

void EventLogTest::TearDown() {
  Logger()->SetReportObjForTesting(nullptr);
  Logger()->SetClockForTesting(nullptr);
  Logger()->ResetForTesting();
  platform::SetModuleFilePathForTesting(L"");
}

void EventLogTest::InitLogger(bool special) {
  Logger()->Init(127, 54, "1.2.3", "Lumaclear", "https://www.vornik.com/lumaclear_setup.exe",
                 special, 9001);
}

std::string EventLogTest::GalogPath() const {
  return env_.AppData() + "/MVDownloader/logs/lumaclear_setup/galog.json";
}

std::vector<Json::Value> EventLogTest::FunnelRecords() const {
  std::vector<Json::Value> records;
  for (const FakeWebLog::Call& call : report_.Calls()) {
    if (call.op == "funnel") records.push_back(ParseJson(call.text));
  }
  return records;
}

}  // namespace eventlog_test
