// Shared pieces of the event logger tests: a report SDK stand-in that records
// every call and answers scripted results, a log-line recorder, and a fixture
// that gives each test a sandboxed APPDATA, its own program path (whose file
// name carries the channel id "abcd"), a fixed date and a fresh logger.
#pragma once
#include <gtest/gtest.h>
#include <json/json.h>

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "Logging.h"
#include "SingleUserLog.h"
#include "platform/LocalTime.h"
#include "reportsdk/IWebLog.h"
#include "support/LogRecorder.h"
#include "support/TestEnvironment.h"

namespace eventlog_test {

using LogRecorder = testing_support::LogRecorder;

class FakeWebLog : public IWebLog {
 public:
  // One call in arrival order: "funnel" / "ga4" carry their text in text.
  struct Call {
    std::string op;
    std::string text;
  };
  struct InitArgs {
    int32_t type, mainPid, parentPid;
    std::string email, phone, product, productVersion, userId;
  };
  struct DownloaderInfoArgs {
    int32_t downloaderId, kitType;
    std::string toolsLanguage, toolsVersion;
  };
  struct ExtraCommonArgs {
    std::string extraCommon, userId, toolsLanguage, productVersion;
    int32_t parentPid;
  };

  int Init(int32_t type, int32_t mainPid, int32_t parentPid, const char* email, const char* phone,
           const char* product, const char* productVersion, const char* userId) override;
  int SetDownloaderInfo(int32_t downloaderId, int32_t kitType, const char* toolsLanguage,
                        const char* toolsVersion) override;
  int SetExtraCommon(const char* extraCommonJson, const char* userId, const char* toolsLanguage,
                     const char* productVersion, int32_t parentPid) override;
  int SendFunnel(const char* recordJson) override;
  int SendGa4(const char* queryTail) override;

  // Answers of the next sends of each kind, in order; 0 once used up.
  void ScriptFunnel(std::vector<int> answers);
  void ScriptGa4(std::vector<int> answers);

  std::vector<Call> Calls() const;
  std::vector<Call> Sends() const;  // only "funnel" and "ga4"
  std::vector<InitArgs> Inits() const;
  std::vector<DownloaderInfoArgs> DownloaderInfos() const;
  std::vector<ExtraCommonArgs> ExtraCommons() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
  std::vector<InitArgs> inits_;
  std::vector<DownloaderInfoArgs> downloaderInfos_;
  std::vector<ExtraCommonArgs> extraCommons_;
  std::deque<int> funnelAnswers_;
  std::deque<int> ga4Answers_;
};

class FakeWindow : public IUserLogWindow {
 public:
  FakeWindow(std::wstring version, EnumLanguage language)
      : version_(std::move(version)), language_(language) {}
  std::wstring GetProductVersion() const override { return version_; }
  EnumLanguage GetCurrentLanguage() const override { return language_; }

 private:
  std::wstring version_;
  EnumLanguage language_;
};

Json::Value ParseJson(const std::string& text);

class EventLogTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  CSingleUserLog* Logger() { return CSingleUserLog::GetInstance(); }
  // Init as the entry does it for the shipped product: id 127, site 54.
  void InitLogger(bool special = false);
  std::string GalogPath() const;
  std::string ProgramPath() const { return env_.Root() + "/bin/lumaclear_setup_abcd.exe"; }
  // The funnel records sent so far, parsed.
  std::vector<Json::Value> FunnelRecords() const;

  testing_support::TestEnvironment env_;
  FakeWebLog report_;
  platform::SystemTime today_;
};

}  // namespace eventlog_test
