// A report SDK of its own for each test: its own APPDATA, program folder,
// machine facts, a short-timed sender and a local collector that plays the
// analytics services over TLS with a throw-away CA.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LocalCollector.h"
#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/WebLog.h"
#include "support/TestEnvironment.h"

namespace sdktest {

constexpr int kMainPid = 2739;

class SdkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A management/sender/object triple; the fixture's own is made by SetUp.
  struct Sdk {
    std::unique_ptr<reportsdk::CManagement> management;
    std::unique_ptr<reportsdk::CNetworkCommunicate> sender;
    std::unique_ptr<reportsdk::WebLog> web;
    int exitCode = -1;  // what the drain run's exit was called with
  };
  std::unique_ptr<Sdk> MakeSdk(const std::string& commandLine = "vornik-lumaclear-setup");
  void InitSdk(Sdk& sdk, int32_t mainPid = kMainPid);

  std::string ProgramFolder() const { return env_.Root() + "/program/"; }
  std::string SdkFolder() const;
  std::string BacklogFile() const { return SdkFolder() + "/backup/tempga.wk"; }
  std::string SdkLogText() const;
  std::vector<reportsdk::BacklogEntry> BacklogEntries() const;

  static reportsdk::MachineFacts Facts();
  static reportsdk::SenderTiming ShortTiming();

  testing_support::TestEnvironment env_;
  std::unique_ptr<localserver::LocalCollector> collector_;
  std::unique_ptr<Sdk> sdk_;
};

// A GA4 query tail as the event logger makes it.
std::string Ga4Tail(const std::string& category, const std::string& action,
                    const std::string& label);
// A funnel input as the event logger makes it.
std::string FunnelInput(const std::string& category, const std::string& action);

}  // namespace sdktest
