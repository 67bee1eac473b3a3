// Shared pieces of the download configuration tests: a report SDK stand-in
// that records what the event logger sends, a log-line recorder, the shipped
// product configuration as a control tree, and a fixture that sandboxes the
// machine (APPDATA, program folder for the switch file, a Windows 10 machine)
// and gives each test a fresh event logger.
#pragma once
#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CConfigure.h"
#include "LocalHttpServer.h"
#include "TestCertificates.h"
#include "reportsdk/IWebLog.h"
#include "support/LogRecorder.h"
#include "support/TestEnvironment.h"
#include "uitoolkit/Control.h"

namespace configure_test {

using LogRecorder = testing_support::LogRecorder;

// One GA4 event as the logger formats it.
struct Ga4Event {
  std::string category;
  std::string action;
  std::string label;
  bool operator==(const Ga4Event& other) const {
    return category == other.category && action == other.action && label == other.label;
  }
};
void PrintTo(const Ga4Event& event, std::ostream* out);

class RecordingWebLog : public IWebLog {
 public:
  int Init(int32_t, int32_t, int32_t, const char*, const char*, const char*, const char*,
           const char*) override {
    return 0;
  }
  int SetDownloaderInfo(int32_t, int32_t, const char*, const char*) override { return 0; }
  int SetExtraCommon(const char* extraCommonJson, const char* userId, const char* toolsLanguage,
                     const char* productVersion, int32_t parentPid) override;
  int SendFunnel(const char* recordJson) override;
  int SendGa4(const char* queryTail) override;

  std::vector<Ga4Event> Ga4Events() const;
  // The "actions" object of every funnel record, in order.
  std::vector<Json::Value> FunnelActions() const;
  // (language code, product version) of every common-information update.
  std::vector<std::pair<std::string, std::string>> CommonInfos() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> ga4_;
  std::vector<std::string> funnel_;
  std::vector<std::pair<std::string, std::string>> common_;
};

// The lines of a record's printContent, as it must write them.
std::vector<std::string> ExpectedContentLines(const char* sourceLine,
                                              const std::vector<std::string>& values);

class ConfigureTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The shipped "configure/configure.xml" as the window's tree holds it.
  ui::Control* ProductTree() { return productTree_.get(); }
  void SetLabel(const std::wstring& key, const std::wstring& text);
  // Switches the TestEnv test switch on beside the program.
  void SetTestEnv();
  // Points the update server's three hosts (and, when not empty, the CA file)
  // at the given base URLs.
  void PointServices(const std::string& international, const std::string& mainland,
                     const std::string& test, const std::string& caFile);
  // A record made as the main window makes it: the shipped ids, then the
  // unmarked embedded load.
  std::unique_ptr<CConfigure> MakeRecord();
  // A record whose fetches answer result and body, recording the URLs asked.
  std::unique_ptr<CConfigure> MakeRecordAnswering(int result, const std::string& body);
  std::vector<std::string> FetchedUrls() const;

  testing_support::TestEnvironment env_;
  RecordingWebLog report_;
  LogRecorder log_;

 private:
  std::unique_ptr<ui::Control> productTree_;
  mutable std::mutex fetchedMutex_;
  std::vector<std::string> fetched_;
};

// The update server's three hosts as local HTTPS servers with a test CA, the
// deployment values pointing at them. Each answers 200 with an empty body
// until a test sets its handler.
class UpdateServerTest : public ConfigureTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A handler answering every "/queryDownloaderV2" request with body (and
  // anything else with 404).
  static localserver::Handler Answering(const std::string& body);
  std::string HostOf(const localserver::LocalHttpServer& server) const;

  localserver::TestCertificates certificates_;
  std::unique_ptr<localserver::LocalHttpServer> international_;
  std::unique_ptr<localserver::LocalHttpServer> mainland_;
  std::unique_ptr<localserver::LocalHttpServer> test_;
};

}  // namespace configure_test
