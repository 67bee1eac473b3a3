// The length query against a local download host: HEAD with Content-Length
// or Content-Range, the cache, redirect chains followed one hop per probe,
// the CDN diagnostics, hostile lengths, TLS with a local CA, and what
// generateDownloadTask reports when no length comes.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>

#include "DeploymentValues.h"
#include "SingleUserLog.h"
#include "TasksTestSupport.h"
#include "TestCertificates.h"

namespace tasks_test {
namespace {

class ProbeTest : public TasksTest {
 protected:
  void SetUp() override {
    TasksTest::SetUp();
    ASSERT_TRUE(host_.Start());
  }

  // One length query on a fresh manager for path; the manager is kept.
  int64_t Probe(const std::string& path, std::string* probeStatus = nullptr) {
    manager_ = Manager(host_.Url(path));
    std::string status = probeStatus ? *probeStatus : std::string();
    code_ = CURLE_OK;
    const int64_t length = manager_->getContentLength(&code_, &status, 1);
    if (probeStatus) *probeStatus = status;
    return length;
  }

  ProbeHost host_;
  std::unique_ptr<CDownloadTaskManager> manager_;
  CURLcode code_ = CURLE_OK;
};

TEST_F(ProbeTest, HeadAnswerGivesTheLengthAndFillsTheCache) {
  host_.Set("/setup.exe", Length(10485760));
  EXPECT_EQ(Probe("/setup.exe"), 10485760);
  EXPECT_EQ(code_, CURLE_OK);
  EXPECT_EQ(host_.Requests(), std::vector<std::string>{"HEAD /setup.exe"});
  EXPECT_TRUE(log_.Contains(" Get Contentlength = 10485760"));
  EXPECT_EQ(CSingleUserLog::GetInstance()->GetCacheValue(host_.Url("/setup.exe")), 10485760);

  // A second manager for the same address asks nobody, and clears its probe status.
  std::string probeStatus = "stale";
  EXPECT_EQ(Probe("/setup.exe", &probeStatus), 10485760);
  EXPECT_EQ(probeStatus, "");
  EXPECT_EQ(host_.Requests().size(), 1u);
}

TEST_F(ProbeTest, ContentRangeTotalWinsOverContentLength) {
  Route route;
  route.headers = {{"Content-Range", "bytes 0-0/5000"}, {"Content-Length", "1"}};
  host_.Set("/ranged", route);
  EXPECT_EQ(Probe("/ranged"), 5000);
}

TEST_F(ProbeTest, LowerCaseHeaderNamesAreUnderstood) {
  Route route;
  route.headers = {{"content-length", "777"}, {"x-cache", "MISS from edge"}};
  host_.Set("/h2", route);
  std::string probeStatus;
  EXPECT_EQ(Probe("/h2", &probeStatus), 777);
  EXPECT_EQ(probeStatus, "MISS from edge");
}

TEST_F(ProbeTest, NotFoundGivesNoLengthAtOnceAndClearsTheProbeStatus) {
  std::string probeStatus = "HIT";
  EXPECT_EQ(Probe("/missing", &probeStatus), 0);
  EXPECT_EQ(code_, CURLE_OK);
  EXPECT_EQ(probeStatus, "");
  EXPECT_EQ(host_.Requests().size(), 1u);
  EXPECT_EQ(CSingleUserLog::GetInstance()->GetCacheValue(host_.Url("/missing")), 0);
}

TEST_F(ProbeTest, HostileLengthsReadAsUnknown) {
  for (const char* value : {"-5", "0", "abc", "99999999999999999999999", ""}) {
    SCOPED_TRACE(value);
    Route route;
    route.headers = {{"Content-Length", value}};
    host_.Set("/odd", route);
    EXPECT_EQ(Probe("/odd"), 0);
    EXPECT_EQ(CSingleUserLog::GetInstance()->GetCacheValue(host_.Url("/odd")), 0);
  }
}

TEST_F(ProbeTest, RedirectsAreFollowedToTheFinalAddressOneHopPerProbe) {
  host_.Set("/a", Redirect("/b"));                  // relative: resolved against /a's address
  host_.Set("/b", Redirect(host_.Url("/c"), 301));  // absolute
  host_.Set("/c", Redirect("d", 307));              // relative to the folder
  host_.Set("/d", Length(4096));
  EXPECT_EQ(Probe("/a"), 4096);
  EXPECT_EQ(manager_->url(), host_.Url("/d"));
  EXPECT_EQ(CSingleUserLog::GetInstance()->GetCacheValue(host_.Url("/d")), 4096);

  size_t heads = 0;
  for (const std::string& request : host_.Requests()) heads += request.rfind("HEAD ", 0) == 0;
  EXPECT_EQ(heads, 4u + 3u + 2u + 1u);

  // Slices cut afterwards download straight from the final address.
  ASSERT_EQ(manager_->generateDownloadTask("", 0), DOWNLOAD_OK);
  EXPECT_EQ(manager_->allTasks().front()->RemotePath, host_.Url("/d"));
}

TEST_F(ProbeTest, ALocationBackToItselfEndsTheChase) {
  host_.Set("/self", Length(321, {{"Location", "/self"}}));
  EXPECT_EQ(Probe("/self"), 321);
  EXPECT_EQ(host_.Requests().size(), 1u);
}

TEST_F(ProbeTest, AChainThatNeverEndsStopsAsTooManyRedirects) {
  host_.Set("/ping", Length(1, {{"Location", "/pong"}}));
  host_.Set("/pong", Length(1, {{"Location", "/ping"}}));
  EXPECT_EQ(Probe("/ping"), 0);
  EXPECT_EQ(code_, CURLE_TOO_MANY_REDIRECTS);
  EXPECT_EQ(host_.Requests().size(), static_cast<size_t>(CDownloadTaskManager::kMaxProbes));
  EXPECT_TRUE(log_.Contains(" Get Contentlength = 0, error CURLE_TOO_MANY_REDIRECTS"));
}

TEST_F(ProbeTest, SixRedirectsInARowEndTheDownloadWithTooManyRedirects) {
  for (int hop = 0; hop < 6; ++hop) {
    host_.Set("/r" + std::to_string(hop), Redirect("/r" + std::to_string(hop + 1)));
  }
  host_.Set("/r6", Length(100));
  auto manager = Manager(host_.Url("/r0"));
  EXPECT_EQ(manager->generateDownloadTask("Download", 1), DOWNLOAD_TOO_MANY_REDIRECTS);
  std::string label = "error:47";
  for (int i = 1; i < 10; ++i) label += "/error:47";
  EXPECT_EQ(report_.Labels("Other", "Download"), std::vector<std::string>{label});
  EXPECT_TRUE(manager->allTasks().empty());
}

TEST_F(ProbeTest, XCacheBecomesTheSlicesProbeStatusAndIsReported) {
  host_.Set("/cdn", Length(2048, {{"X-Cache", "HIT from cache-fra"}}));
  manager_ = Manager(host_.Url("/cdn"));
  ASSERT_EQ(manager_->generateDownloadTask("", 1), DOWNLOAD_OK);
  EXPECT_EQ(manager_->allTasks().front()->CdnProbeStatus, "HIT from cache-fra");
  EXPECT_EQ(report_.Labels("Download", "3.CDNStatus"),
            std::vector<std::string>{"HIT from cache-fra"});
  EXPECT_TRUE(log_.Contains(" Cdn result: HIT from cache-fra"));
}

TEST_F(ProbeTest, CloudflareHeadersAreReportedAsLocationAndCacheStatus) {
  host_.Set("/cf", Length(2048, {{"CF-Cache-Status", "HIT"},
                                 {"CF-RAY", "8a1b2c3d4e5f6789-FRA"},
                                 {"X-Cache", "ignored when Cloudflare answered"}}));
  std::string probeStatus;
  EXPECT_EQ(Probe("/cf", &probeStatus), 2048);
  EXPECT_EQ(probeStatus, "");
  EXPECT_EQ(report_.Labels("Download", "3.CDNStatus"), std::vector<std::string>{"FRA/ HIT"});
  EXPECT_TRUE(log_.Contains(" Cdn result:  HIT, FRA"));
}

TEST_F(ProbeTest, NoAnswerTenTimesIsNoLengthAndTouchesNothing) {
  host_.Server().RefuseConnections();
  WriteLocalFile(10);
  auto manager = Manager(host_.Url("/gone"));
  EXPECT_EQ(manager->generateDownloadTask("Download", 1), DOWNLOAD_NO_LENGTH);
  std::string label = "error:7";
  for (int i = 1; i < 10; ++i) label += "/error:7";
  EXPECT_EQ(report_.Labels("Other", "Download"), std::vector<std::string>{label});
  EXPECT_TRUE(log_.Contains(" [Error]: Get ContentLength Fail, tried 5 times"));
  EXPECT_TRUE(manager->allTasks().empty());
  EXPECT_EQ(manager->contentLength(), 0);
  EXPECT_TRUE(LocalFileExists());
}

TEST_F(ProbeTest, ALaterAnswerEndsTheQueriesWithItsAttemptInTheReport) {
  auto asked = std::make_shared<std::atomic<int>>(0);
  host_.Server().SetHandler([asked](const localserver::Request&) {
    localserver::Reply reply;
    reply.status = ++*asked < 3 ? 503 : 200;
    reply.headers = {{"Content-Length", "900"}};
    return reply;
  });
  auto manager = Manager(host_.Url("/busy"));
  EXPECT_EQ(manager->generateDownloadTask("Download", 0), DOWNLOAD_OK);
  EXPECT_EQ(report_.Labels("Other", "Download"),
            std::vector<std::string>{"error:0/error:0/Success/Null/Null/Null/Null/Null/Null/Null"});
  EXPECT_EQ(manager->contentLength(), 900);
}

class TlsProbeTest : public TasksTest {
 protected:
  void SetUp() override {
    TasksTest::SetUp();
    ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/tls", &certificates_));
    host_ = std::make_unique<ProbeHost>(certificates_.server);
    ASSERT_TRUE(host_->Start());
    host_->Set("/setup.exe", Length(65536));
  }
  void TrustTestCa() {
    const std::string services = env_.Root() + "/services.conf";
    std::ofstream(services) << "ca_file=" << certificates_.caCertificatePem << "\n";
    env_.SetEnv("VORNIK_SERVICES", services);
    deployment::ReloadForTesting();
  }

  localserver::TestCertificates certificates_;
  std::unique_ptr<ProbeHost> host_;
};

TEST_F(TlsProbeTest, AServerOfTheTrustedAuthorityAnswers) {
  TrustTestCa();
  auto manager = Manager(host_->Url("/setup.exe"));
  CURLcode code = CURLE_OK;
  std::string probeStatus;
  EXPECT_EQ(manager->getContentLength(&code, &probeStatus, 0), 65536);
  EXPECT_EQ(code, CURLE_OK);
}

TEST_F(TlsProbeTest, AnUnknownAuthorityIsRefused) {
  auto manager = Manager(host_->Url("/setup.exe"));
  CURLcode code = CURLE_OK;
  std::string probeStatus;
  EXPECT_EQ(manager->getContentLength(&code, &probeStatus, 0), 0);
  EXPECT_EQ(code, CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_TRUE(host_->Server().Requests().empty());
}

}  // namespace
}  // namespace tasks_test
