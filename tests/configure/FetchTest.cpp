// One try at the update server over real HTTPS: the request, the host it goes
// to, and the events and log line it leaves.
#include <string>
#include <vector>

#include "ConfigureFixture.h"
#include "SingleUserLog.h"

namespace configure_test {
namespace {

constexpr char kQuery[] = "/queryDownloaderV2?LanguageId=1033&SoftWareID=127&SiteID=61";

std::string Reply(const std::string& children) {
  return "<Downloader>" + children + "</Downloader>";
}

// The funnel records of one action, by their "actions" objects.
std::vector<Json::Value> FunnelOf(const RecordingWebLog& report, const std::string& action) {
  std::vector<Json::Value> found;
  for (const Json::Value& actions : report.FunnelActions()) {
    if (actions["event_action"].asString() == action) found.push_back(actions);
  }
  return found;
}

using FetchTest = UpdateServerTest;

TEST_F(FetchTest, RequestCarriesTheIdsAndThePackageSuffixOfOldSystems) {
  struct Case {
    const char* windowsVersion;  // "" for a Linux machine
    const char* osName;
    const char* versionText;
    const char* suffix;
  } cases[] = {
      {"6.1.7601", "Windows 7", "7", "&package_type=5"},
      {"6.3.9600", "Windows 8.1", "8.1", "&package_type=5"},
      {"10.0.19045", "Windows 10", "10", ""},
      {"", "Debian GNU/Linux 12 (bookworm)", "12", ""},
  };
  env_.SetEnv("VORNIK_OS_RELEASE",
              std::string(VORNIK_TEST_FIXTURES) + "/sysinfo/debian12.os-release");
  const std::string body = Reply("<Md5>abc</Md5>");
  international_->SetHandler(Answering(body));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.osName);
    env_.SetEnv("VORNIK_WINDOWS_VERSION", c.windowsVersion);
    international_->ClearRequests();
    auto record = MakeRecord();
    ASSERT_EQ(record->getDownloadInfoXml(false, false), 1);

    const std::string target = std::string(kQuery) + c.suffix;
    ASSERT_EQ(international_->RequestCount(), 1u);
    EXPECT_EQ(international_->Requests()[0].method, "GET");
    EXPECT_EQ(international_->Requests()[0].target, target);
    EXPECT_EQ(record->getRequestUrl(), international_->BaseUrl() + target);
    EXPECT_TRUE(log_.Contains(" GetCbsInfo New interface V2(Async com): 0, " +
                              std::to_string(body.size()) + ", " + c.osName + ", " + c.versionText))
        << testing::PrintToString(log_.Lines());
  }
}

TEST_F(FetchTest, HostOfEachTry) {
  struct Case {
    bool testEnv;
    bool mainland;
    const char* server;  // "com", "cn" or "test": who gets the request
    const char* logLine;
    bool mainlandNamed;  // the host the success record names
  } cases[] = {
      {false, false, "com", " GetCbsInfo New interface V2(Sync com): 0, ", false},
      {false, true, "cn", " GetCbsInfo New interface V2(Sync cn): 0, ", true},
      {true, false, "test", " GetCbsInfo New interface V2(Sync test): 0, ", false},
      {true, true, "test", " GetCbsInfo New interface V2(Sync test): 0, ", true},
  };
  const std::string body = Reply("");
  for (auto* server : {&international_, &mainland_, &test_}) (*server)->SetHandler(Answering(body));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + (c.mainland ? " asked as mainland" : ""));
    if (c.testEnv) SetTestEnv();
    for (auto* server : {&international_, &mainland_, &test_}) (*server)->ClearRequests();
    const size_t recordsBefore = FunnelOf(report_, "Get download configuration").size();

    auto record = MakeRecord();
    ASSERT_EQ(record->getDownloadInfoXml(true, c.mainland), 1);
    const std::string server = c.server;
    EXPECT_EQ(international_->RequestCount(), server == "com" ? 1u : 0u);
    EXPECT_EQ(mainland_->RequestCount(), server == "cn" ? 1u : 0u);
    EXPECT_EQ(test_->RequestCount(), server == "test" ? 1u : 0u);
    EXPECT_TRUE(log_.Contains(c.logLine + std::to_string(body.size()) + ", Windows 10, 10"));

    const std::vector<Json::Value> records = FunnelOf(report_, "Get download configuration");
    ASSERT_EQ(records.size(), recordsBefore + 1);
    EXPECT_EQ(records.back()["event_category"].asString(), "Download");
    EXPECT_EQ(records.back()["Download configurationType"].asString(), "Success");
    EXPECT_EQ(records.back()["Configuration URL"].asString(),
              HostOf(c.mainlandNamed ? *mainland_ : *international_));
  }
}

// Every try, good or bad, reports its time; only "not resolved" and "timed
// out" are flow errors. A try without a Downloader element sends no success
// record.
TEST_F(FetchTest, EventsOfATry) {
  struct Case {
    int result;
    std::string body;
    bool sync;
    std::vector<Ga4Event> events;
    bool stored;
  } cases[] = {
      {6, "", true, {{"Other", "FlowError", "DL003"}, {"Other", "SyncGetCbsTime", "0"}}, false},
      {28, "", false, {{"Other", "FlowError", "DL002"}, {"Other", "AsyncGetCbsTime", "0"}}, false},
      {7, "", true, {{"Other", "SyncGetCbsTime", "0"}}, false},
      {60, "", false, {{"Other", "AsyncGetCbsTime", "0"}}, false},
      {0, "<html></html>", true, {{"Other", "SyncGetCbsTime", "0"}}, false},
      {0, Reply(""), false, {{"Other", "AsyncGetCbsTime", "0"}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    CSingleUserLog::GetInstance()->ResetForTesting();
    const size_t eventsBefore = report_.Ga4Events().size();
    const size_t recordsBefore = FunnelOf(report_, "Get download configuration").size();
    auto record = MakeRecordAnswering(c.result, c.body);
    EXPECT_EQ(record->getDownloadInfoXml(c.sync, false), c.stored ? 1 : 0);
    const std::vector<Ga4Event> events = report_.Ga4Events();
    EXPECT_EQ(std::vector<Ga4Event>(events.begin() + eventsBefore, events.end()), c.events);
    EXPECT_EQ(FunnelOf(report_, "Get download configuration").size(),
              recordsBefore + (c.stored ? 1 : 0));
  }
}

// The request goes out over verified TLS: a server whose certificate the
// deployment's CA does not vouch for gives no reply.
TEST_F(FetchTest, UntrustedServerGivesNoReply) {
  localserver::TestCertificates stranger;
  ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/stranger", &stranger));
  localserver::LocalHttpServer impostor(stranger.server);
  ASSERT_TRUE(impostor.Start());
  impostor.SetHandler(Answering(Reply("<Md5>evil</Md5>")));
  PointServices(impostor.BaseUrl(), mainland_->BaseUrl(), test_->BaseUrl(),
                certificates_.caCertificatePem);

  auto record = MakeRecord();
  EXPECT_EQ(record->getDownloadInfoXml(true, false), 0);
  EXPECT_FALSE(record->parseDownloadInfoXml());
  EXPECT_EQ(record->Md5, L"");
  EXPECT_TRUE(log_.Contains(" GetCbsInfo New interface V2(Sync com): 60, 0, Windows 10, 10"));
}

}  // namespace
}  // namespace configure_test
