// The report SDK against a local collector: the exact requests, what counts
// as delivered, retries, repeats, the backlog's replay, and the drain run.
#include <json/json.h>

#include <cstdio>
#include <filesystem>

#include "SdkFixture.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "reportsdk/FunnelRecord.h"
#include "support/TestEnvironment.h"

namespace sdktest {
namespace {

using localserver::Reply;
using testing_support::WaitUntil;

constexpr int64_t kNow = 1700000000123;

TEST_F(SdkTest, Ga4EventIsAnEmptyPostWithTheEncodedTailAndClientId) {
  InitSdk(*sdk_);
  ASSERT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "1.Launch", "a b").c_str()), 0);
  ASSERT_TRUE(sdk_->sender->WaitUntilDelivered(20, 10000));

  const auto requests = collector_->RequestsTo("/g/collect");
  ASSERT_EQ(requests.size(), 1u);
  const localserver::Request& request = requests[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target,
            "/g/collect?v=2&cid=1A2B3C4D0011223344AA&tid=G-R8KW2QZ5NT"
            "&ep.mv_productname=Downloader&ep.mv_productversion=1.0.0.1"
            "&ep.mv_category=Download&ep.mv_action=1.Launch&ep.mv_label=a%20b&en=1.Launch"
            "&ep.cd1=1.0.0.1&ep.cd2=SEO&ep.cd3=61&ep.cd4=Vornik%20Lumaclear"
            "&ep.cd5=United%20States&ep.cd6=English&ep.cd7=Debian%2064bit&ep.cd8=1");
  EXPECT_EQ(request.body, "");
  EXPECT_EQ(request.Header("Content-Length"), "0");
  EXPECT_EQ(request.Header("User-Agent"), "PostmanRuntime/7.29.2");
  EXPECT_EQ(request.Header("Content-Type"), "application/json; charset=utf-8");
  EXPECT_EQ(request.Header("Accept-Encoding"), "gzip, deflate, br");
  EXPECT_TRUE(BacklogEntries().empty());
}

TEST_F(SdkTest, FunnelRecordIsPostedAsStyledJsonToTheCollector) {
  InitSdk(*sdk_);
  sdk_->web->SetClockForTesting([] { return kNow; });
  ASSERT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "1.Launch").c_str()), 0);
  ASSERT_TRUE(sdk_->sender->WaitUntilDelivered(20, 10000));

  const auto requests = collector_->RequestsTo("/collect");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/collect");
  Json::Value body;
  Json::Reader reader;
  ASSERT_TRUE(reader.parse(requests[0].body, body)) << requests[0].body;
  EXPECT_EQ(requests[0].body, body.toStyledString());
  EXPECT_EQ(body["ts"].asInt64(), kNow);
  EXPECT_EQ(body["common"]["pid"].asInt64(), kMainPid);
  EXPECT_EQ(body["common"]["uid"].asString(), Facts().uid);
  EXPECT_EQ(body["common"]["tools_version"].asString(), "1.0.0.1");
  EXPECT_EQ(body["common"]["downloader_id"].asInt(), 127);
  EXPECT_EQ(body["actions"]["event_action"].asString(), "1.Launch");
  EXPECT_TRUE(collector_->RequestsTo("/collector").empty());
}

TEST_F(SdkTest, TestEnvironmentSendsFunnelRecordsToTheTestCollectorOnly) {
  testing_support::WriteFile(ProgramFolder() + "test.wk", "[Configs]\nTestEnv=1\n");
  sdk_ = MakeSdk();
  InitSdk(*sdk_);
  ASSERT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "x").c_str()), 0);
  ASSERT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "x", "").c_str()), 0);
  ASSERT_TRUE(sdk_->sender->WaitUntilDelivered(20, 10000));
  EXPECT_EQ(collector_->RequestsTo("/collector").size(), 1u);
  EXPECT_EQ(collector_->RequestsTo("/collect").size(), 0u);
  EXPECT_EQ(collector_->RequestsTo("/g/collect").size(), 1u);
}

// Each kind has one success status; the other is a failure that is retried.
TEST_F(SdkTest, SuccessStatusPerKind) {
  struct Case {
    bool ga4;
    int status;
    bool delivered;
  };
  for (const Case c : {Case{true, 204, true}, Case{true, 200, false}, Case{false, 200, true},
                       Case{false, 204, false}}) {
    SCOPED_TRACE(std::string(c.ga4 ? "ga4 " : "funnel ") + std::to_string(c.status));
    sdk_ = MakeSdk();
    std::remove(BacklogFile().c_str());
    collector_->Server().ClearRequests();
    collector_->Server().SetHandler(
        [&](const localserver::Request&) { return Reply::Status(c.status); });
    InitSdk(*sdk_);
    ASSERT_EQ(c.ga4 ? sdk_->web->SendGa4(Ga4Tail("Download", "s", "").c_str())
                    : sdk_->web->SendFunnel(FunnelInput("Download", "s").c_str()),
              0);
    if (c.delivered) {
      ASSERT_TRUE(sdk_->sender->WaitUntilDelivered(20, 10000));
      EXPECT_EQ(collector_->Server().RequestCount(), 1u);
      EXPECT_TRUE(BacklogEntries().empty());
    } else {
      // One turn is three attempts; the record then waits in the queue and the backlog.
      ASSERT_TRUE(collector_->Server().WaitForRequests(3, 10000));
      sdk_->sender->Stop(10000);
      EXPECT_GE(collector_->Server().RequestCount(), 3u);
      EXPECT_EQ(BacklogEntries().size(), 1u);
    }
  }
}

TEST_F(SdkTest, ACollectorThatFailsTwiceIsServedInOneTurn) {
  collector_->Server().QueueReplies({Reply::Status(503), Reply::Dropped()});
  InitSdk(*sdk_);
  ASSERT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "1.Launch", "").c_str()), 0);
  ASSERT_TRUE(sdk_->sender->WaitUntilDelivered(20, 10000));
  EXPECT_EQ(collector_->RequestsTo("/g/collect").size(), 3u);
  EXPECT_TRUE(BacklogEntries().empty());
  const std::string log = SdkLogText();
  EXPECT_NE(log.find("PostDataError: 0, No error, 503"), std::string::npos) << log;
  EXPECT_NE(log.find("PostDataError: ", log.find("PostDataError: 0, No error, 503") + 1),
            std::string::npos)
      << log;  // the dropped connection
}

TEST_F(SdkTest, RecordsWaitInTheBacklogWhileTheCollectorIsDown) {
  collector_->Server().RefuseConnections();
  InitSdk(*sdk_);
  ASSERT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "a", "").c_str()), 0);
  ASSERT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "b").c_str()), 0);
  ASSERT_EQ(BacklogEntries().size(), 2u);
  EXPECT_FALSE(sdk_->sender->WaitUntilDelivered(20, 300));
  collector_->Server().AcceptAgain();
  ASSERT_TRUE(sdk_->sender->WaitUntilDelivered(20, 10000));
  EXPECT_TRUE(BacklogEntries().empty());
  EXPECT_EQ(collector_->Server().RequestCount(), 2u);
}

TEST_F(SdkTest, TheTwelfthRepeatWithinAMinuteIsRefusedAndAcceptedAgainLater) {
  collector_->Server().RefuseConnections();  // keep everything queued
  InitSdk(*sdk_);
  int64_t now = kNow;
  sdk_->web->SetClockForTesting([&now] { return now; });
  for (int i = 1; i <= 11; ++i) {
    now += 1000;
    EXPECT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "Same", "").c_str()), 0) << i;
  }
  now += 1000;
  EXPECT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "Same", "").c_str()), -1);
  // Another action, or the same one as a funnel record, is counted apart.
  EXPECT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "Other", "").c_str()), 0);
  EXPECT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "Same").c_str()), 0);
  EXPECT_NE(SdkLogText().find("Detect repeat 11, more than 10 within 60 seconds"),
            std::string::npos);
  EXPECT_EQ(BacklogEntries().size(), 13u);  // the refused one is not kept

  now += 61 * 1000;
  EXPECT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "Same", "").c_str()), 0);
}

TEST_F(SdkTest, InvalidFunnelRecordsAreNeitherQueuedNorKept) {
  InitSdk(*sdk_, 1000);
  EXPECT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "x").c_str()), 159);
  EXPECT_EQ(sdk_->web->SendFunnel(FunnelInput("", "x").c_str()), 159);

  sdk_ = MakeSdk();
  InitSdk(*sdk_);
  EXPECT_EQ(sdk_->web->SendFunnel(FunnelInput("", "x").c_str()), 163);
  EXPECT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "").c_str()), 164);
  sdk_->web->SetExtraCommon("", "", "en", "", 0);  // no product version
  EXPECT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "x").c_str()), 160);
  EXPECT_TRUE(BacklogEntries().empty());
  EXPECT_EQ(sdk_->sender->Pending(), 0u);
}

TEST_F(SdkTest, AShortCrossIdInTheProgramNameRefusesEveryFunnelRecord) {
  platform::SetModuleFilePathForTesting(
      platform::FromUtf8(ProgramFolder() + "lumaclear_setup_abcd.exe"));
  sdk_ = MakeSdk();
  InitSdk(*sdk_);
  EXPECT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "x").c_str()), 161);
  EXPECT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "x", "").c_str()), 0);
}

TEST_F(SdkTest, ExtraCommonDropsReservedNamesWhateverTheirCase) {
  InitSdk(*sdk_);
  sdk_->web->SetExtraCommon(R"({"Channel": "x", "foo": "bar", "UID": "y"})", "", "de", "2.0", 0);
  sdk_->web->SetExtraCommon("{broken", "", "de", "2.0", 0);  // keeps the earlier extra common
  ASSERT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "x").c_str()), 0);
  ASSERT_TRUE(sdk_->sender->WaitUntilDelivered(20, 10000));
  const auto requests = collector_->RequestsTo("/collect");
  ASSERT_EQ(requests.size(), 1u);
  Json::Value body;
  ASSERT_TRUE(Json::Reader().parse(requests[0].body, body));
  EXPECT_EQ(body["common"]["foo"].asString(), "bar");
  EXPECT_EQ(body["common"]["channel"].asString(), "");
  EXPECT_FALSE(body["common"].isMember("Channel"));
  EXPECT_EQ(body["common"]["uid"].asString(), Facts().uid);
  EXPECT_EQ(body["common"]["tools_lang"].asString(), "de");
  EXPECT_EQ(body["common"]["product_version"].asString(), "2.0");
  EXPECT_NE(SdkLogText().find("Extra common parse failed: "), std::string::npos);
}

TEST_F(SdkTest, InitReplaysTheBacklogAndEachRecordArrivesOnce) {
  const std::string base = collector_->Server().BaseUrl();
  reportsdk::Backlog backlog(platform::FromUtf8(BacklogFile()));
  std::filesystem::create_directories(SdkFolder() + "/backup");
  ASSERT_TRUE(
      backlog.Update("1::1700000000001::Download::a", base + "/g/collect?v=2&cid=X&tid=T&en=a", 0));
  ASSERT_TRUE(
      backlog.Update("1::1700000000002::Download::b", base + "/g/collect?v=2&cid=X&tid=T&en=b", 0));
  ASSERT_TRUE(backlog.Update("9::1::x::y", "neither kind", 0));

  InitSdk(*sdk_);
  ASSERT_TRUE(WaitUntil([&] { return collector_->Server().RequestCount() >= 2; }));
  sdk_->sender->Stop(10000);
  EXPECT_EQ(collector_->RequestsTo("/g/collect").size(), 2u);
  const auto left = BacklogEntries();
  ASSERT_EQ(left.size(), 1u);  // a record of no known kind can never be sent
  EXPECT_EQ(left[0].key, "9::1::x::y");
  EXPECT_NE(SdkLogText().find("Read history: 3/3"), std::string::npos);
}

TEST_F(SdkTest, OnlyOneRunSendsTheBacklogAtATime) {
  InitSdk(*sdk_);
  auto second = MakeSdk();
  InitSdk(*second);
  EXPECT_NE(SdkLogText().find("Read history: skipped"), std::string::npos);
  ASSERT_EQ(second->web->SendGa4(Ga4Tail("Download", "second", "").c_str()), 0);
  EXPECT_FALSE(second->sender->WaitUntilDelivered(20, 300));
  EXPECT_EQ(collector_->Server().RequestCount(), 0u);
  sdk_.reset();  // the first run ends and lets go
  ASSERT_TRUE(second->sender->WaitUntilDelivered(20, 10000));
  EXPECT_EQ(collector_->Server().RequestCount(), 1u);
}

TEST_F(SdkTest, DrainRunDeliversTheBacklogAndEnds) {
  collector_->Server().RefuseConnections();
  InitSdk(*sdk_);
  ASSERT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "a", "").c_str()), 0);
  ASSERT_EQ(sdk_->web->SendFunnel(FunnelInput("Download", "b").c_str()), 0);
  sdk_.reset();  // the ordinary run ends with two records undelivered
  collector_->Server().AcceptAgain();

  auto drain = MakeSdk("vornik-setup -sendrestlogs");
  InitSdk(*drain);
  EXPECT_EQ(drain->exitCode, 0);
  EXPECT_EQ(collector_->Server().RequestCount(), 2u);
  EXPECT_TRUE(BacklogEntries().empty());
  const std::string log = SdkLogText();
  EXPECT_NE(log.find("Send rest logs, wait begin"), std::string::npos);
  EXPECT_NE(log.find("Send rest logs, wait end"), std::string::npos);
}

TEST_F(SdkTest, DrainRunAgainstADeadCollectorEndsOnItsOwnAndKeepsTheBacklog) {
  collector_->Server().RefuseConnections();
  InitSdk(*sdk_);
  ASSERT_EQ(sdk_->web->SendGa4(Ga4Tail("Download", "a", "").c_str()), 0);
  sdk_.reset();

  auto drain = MakeSdk("vornik-setup -sendrestlogs");
  InitSdk(*drain);
  EXPECT_EQ(drain->exitCode, 0);
  drain->sender->Stop(10000);
  EXPECT_EQ(BacklogEntries().size(), 1u);
  EXPECT_NE(SdkLogText().find("Send rest logs, gave up after 1500 ms, 1 left"), std::string::npos);
}

}  // namespace
}  // namespace sdktest
