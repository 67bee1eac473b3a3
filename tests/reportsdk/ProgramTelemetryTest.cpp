// The real program's telemetry against a local collector: the start-up
// records arrive, a kill -9 loses none of the records it had taken, the next
// run delivers each exactly once, and the hidden drain run ends on its own
// when the collector stays away. Needs a display (the test command gives Xvfb).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "LocalCollector.h"
#include "platform/Encoding.h"
#include "platform/WindowRegistry.h"
#include "reportsdk/Backlog.h"
#include "support/ChildProcess.h"
#include "support/TestEnvironment.h"

namespace {

using testing_support::ChildProcess;
using testing_support::WaitUntil;
using testing_support::WriteFile;

// The records the window sends when it starts on a machine it has not seen:
// six GA4 events and four funnel records.
constexpr size_t kStartupGa4 = 6;
constexpr size_t kStartupFunnels = 4;

class ProgramTelemetry : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    program_ = testing_support::CopyProgramTo(env_.Root() + "/prog", VORNIK_SETUP_EXE);
    collector_ = std::make_unique<localserver::LocalCollector>(env_.Root() + "/collector");
    ASSERT_TRUE(collector_->Start());
    env_.SetEnv("VORNIK_SERVICES", collector_->ServicesFile());
    // A machine with a root file system id and one wired adapter, so that
    // funnel records carry a uid and GA4 events a client id.
    const std::string sysfs = env_.Root() + "/sysfs";
    WriteFile(sysfs + "/class/net/eth0/type", "1\n");
    WriteFile(sysfs + "/class/net/eth0/address", "00:11:22:33:44:aa\n");
    WriteFile(sysfs + "/class/net/eth0/ifindex", "2\n");
    env_.SetEnv("VORNIK_SYSFS_ROOT", sysfs);
    env_.SetEnv("VORNIK_ROOT_FS_UUID", "5f6a3b7e-5d2c-4b1a-9e8f-1234567890ab");
    env_.SetEnv("VORNIK_DISPLAY_SIZE", "1920x1080");
  }

  std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments) {
    const std::string out = env_.Root() + "/stdout" + std::to_string(++runs_) + ".txt";
    return std::make_unique<ChildProcess>(program_, arguments, out);
  }

  std::vector<reportsdk::BacklogEntry> Backlog() const {
    return reportsdk::Backlog(
               platform::FromUtf8(env_.AppData() + "/VUZiduZadodaDUR/2739/backup/tempga.wk"))
        .Read();
  }

  // What the collector received, as "target\nbody" texts with their counts.
  std::map<std::string, int> Received() const {
    std::map<std::string, int> received;
    for (const auto& request : collector_->Server().Requests()) {
      ++received[request.target + "\n" + request.body];
    }
    return received;
  }

  // The same texts for backlog entries.
  static std::map<std::string, int> Expected(const std::vector<reportsdk::BacklogEntry>& entries) {
    std::map<std::string, int> expected;
    for (const auto& entry : entries) {
      const bool ga4 = entry.content.find("/g/collect?") != std::string::npos;
      const std::string target =
          ga4 ? entry.content.substr(entry.content.find("/g/collect?")) : "/collect";
      ++expected[target + "\n" + (ga4 ? "" : entry.content)];
    }
    return expected;
  }

  static size_t Count(const std::vector<reportsdk::BacklogEntry>& entries, const char* prefix) {
    return std::count_if(entries.begin(), entries.end(),
                         [&](const auto& entry) { return entry.key.rfind(prefix, 0) == 0; });
  }

  bool WindowUp() {
    return WaitUntil([] { return platform::FindWindowByClass(L"MV_UI_Frame_127"); });
  }

  testing_support::TestEnvironment env_;
  std::unique_ptr<localserver::LocalCollector> collector_;
  std::string program_;
  int runs_ = 0;
};

TEST_F(ProgramTelemetry, StartupRecordsArriveAndLeaveNoBacklog) {
  auto run = Start({});
  ASSERT_TRUE(WindowUp());
  ASSERT_TRUE(collector_->Server().WaitForRequests(kStartupGa4 + kStartupFunnels, 20000));
  EXPECT_TRUE(WaitUntil([&] { return Backlog().empty(); }));
  run->Signal(SIGTERM);
  EXPECT_EQ(run->Wait(), 0);

  EXPECT_EQ(collector_->RequestsTo("/g/collect").size(), kStartupGa4);
  EXPECT_EQ(collector_->RequestsTo("/collect").size(), kStartupFunnels);
  bool sawLaunch = false;
  for (const auto& request : collector_->RequestsTo("/g/collect")) {
    EXPECT_NE(request.target.find("/g/collect?v=2&cid=5F6A3B7E0011223344AA&tid="),
              std::string::npos)
        << request.target;
    if (request.target.find("&ep.mv_action=1.Launch&") != std::string::npos) sawLaunch = true;
  }
  EXPECT_TRUE(sawLaunch);
}

TEST_F(ProgramTelemetry, KillNineLosesNothingAndTheDrainRunSendsEachRecordOnce) {
  collector_->Server().RefuseConnections();
  auto run = Start({});
  ASSERT_TRUE(WindowUp());
  ASSERT_TRUE(WaitUntil([&] { return Backlog().size() == kStartupGa4 + kStartupFunnels; }));
  run->Signal(SIGKILL);
  run->Wait();
  const auto left = Backlog();
  ASSERT_EQ(Count(left, "1::"), kStartupGa4);
  ASSERT_EQ(Count(left, "2::"), kStartupFunnels);

  collector_->Server().AcceptAgain();
  auto drain = Start({"-sendrestlogs"});
  EXPECT_EQ(drain->Wait(30000), 0);
  EXPECT_EQ(Received(), Expected(left));
  EXPECT_TRUE(Backlog().empty());
}

TEST_F(ProgramTelemetry, TheNextOrdinaryRunReplaysWhatAKilledRunLeft) {
  collector_->Server().RefuseConnections();
  auto first = Start({});
  ASSERT_TRUE(WindowUp());
  ASSERT_TRUE(WaitUntil([&] { return Backlog().size() == kStartupGa4 + kStartupFunnels; }));
  first->Signal(SIGKILL);
  first->Wait();
  const auto left = Backlog();
  ASSERT_TRUE(WaitUntil([] { return !platform::FindWindowByClass(L"MV_UI_Frame_127"); }));

  collector_->Server().AcceptAgain();
  auto second = Start({});
  ASSERT_TRUE(WindowUp());
  // The second run adds its own start-up records (the machine ones only once).
  const size_t total = 2 * (kStartupGa4 + kStartupFunnels) - 3;
  ASSERT_TRUE(collector_->Server().WaitForRequests(total, 20000));
  EXPECT_TRUE(WaitUntil([&] { return Backlog().empty(); }));
  second->Signal(SIGTERM);
  EXPECT_EQ(second->Wait(), 0);

  // Funnel records are unique (own time stamp): each of the first run's
  // arrived exactly once.
  const auto received = Received();
  for (const auto& [text, count] : Expected(left)) {
    if (text.rfind("/collect\n", 0) == 0) {
      EXPECT_EQ(received.count(text) ? received.at(text) : 0, 1) << text;
    }
  }
  EXPECT_EQ(collector_->Server().RequestCount(), total);
}

TEST_F(ProgramTelemetry, DrainRunEndsOnItsOwnWhenTheCollectorStaysAway) {
  collector_->Server().RefuseConnections();
  auto run = Start({});
  ASSERT_TRUE(WindowUp());
  ASSERT_TRUE(WaitUntil([&] { return Backlog().size() == kStartupGa4 + kStartupFunnels; }));
  run->Signal(SIGKILL);
  run->Wait();

  env_.SetEnv("VORNIK_REPORT_TIMING", "retry_pause=20,idle_poll=20,drain_poll=20,drain_limit=1500");
  auto drain = Start({"-sendrestlogs"});
  EXPECT_EQ(drain->Wait(20000), 0);
  EXPECT_EQ(Backlog().size(), kStartupGa4 + kStartupFunnels);
  EXPECT_FALSE(platform::FindWindowByClass(L"MV_UI_Frame_127"));
}

}  // namespace
