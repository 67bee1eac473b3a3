#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "MD5.h"
#include "SuperviseFixture.h"
#include "platform/Network.h"

namespace supervise_test {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

size_t GetRequests(const localserver::DownloadServer& server) {
  size_t count = 0;
  for (const localserver::Exchange& exchange : server.Exchanges())
    if (exchange.request.method == "GET") ++count;
  return count;
}

TEST_F(SuperviseTest, MainDownloadCompletesWithProgressSpeedsAndEvents) {
  const std::string bytes = Noise(3 * 1048576 + 1234);
  localserver::ServedFile file;
  file.content = localserver::Content::Text(bytes);
  file.headers = {{"CF-RAY", "7d1f2a3b4c5d6e7f-FRA"}, {"CF-Cache-Status", "HIT"}};
  file.bytesPerSecond = 8 << 20;  // long enough for several supervision passes
  server_->AddFile(kPath, file);
  ProgressRecorder progress;
  std::string summary = "stale";

  EXPECT_EQ(DOWNLOAD_OK, Download(server_->Url(kPath), true, &summary));

  EXPECT_EQ(Md5OfText(bytes), Md5OfText(LocalBytes()));
  const auto reports = progress.Reports();
  ASSERT_FALSE(reports.empty());
  int64_t previous = 0;
  for (const auto& report : reports) {
    EXPECT_EQ(static_cast<int64_t>(bytes.size()), report.second);
    EXPECT_GE(report.first, previous);
    EXPECT_LE(report.first, static_cast<int64_t>(bytes.size()) + 4);
    previous = report.first;
  }
  EXPECT_EQ(1u, log_.CountPrefix(" Average speed: "));
  EXPECT_EQ(1u, log_.CountPrefix(" Download speed range "));
  EXPECT_EQ(1u, report_.FunnelsWith("\"SliceDownloading\""));
  EXPECT_EQ(0u, summary.rfind("T(", 0)) << summary;
  EXPECT_NE(std::string::npos, summary.find("HIT")) << summary;
}

TEST_F(SuperviseTest, CompleteTaskFileReturnsOkWithoutSliceRequestsAndReportsTotalOnce) {
  const std::string bytes = Noise(1048576 + 99);
  const std::string url = Serve(bytes);
  std::string summary;
  ASSERT_EQ(DOWNLOAD_OK, Download(url, true, &summary));
  ASSERT_TRUE(std::filesystem::exists(LocalPath() + ".xml"));
  server_->ClearExchanges();
  ProgressRecorder progress;

  EXPECT_EQ(DOWNLOAD_OK, Download(url, true, &summary));

  EXPECT_EQ(0u, GetRequests(*server_));
  const int64_t total = static_cast<int64_t>(bytes.size());
  const auto reports = progress.Reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(std::make_pair(total, total), reports.back());
  EXPECT_EQ(1, std::count(reports.begin(), reports.end(), std::make_pair(total, total)));
  EXPECT_EQ(1u, log_.CountPrefix(" Average speed: "));  // the first download's only
  EXPECT_TRUE(bytes == LocalBytes());
}

TEST_F(SuperviseTest, OneMebibyteMinimumAppliesToTheMainDownloadOnly) {
  struct Case {
    const char* name;
    size_t size;
    bool mainDownload;
    int result;
  };
  const Case cases[] = {
      {"main, 500000 bytes", 500000, true, DOWNLOAD_FILE_TOO_SMALL},
      {"main, one byte short", 1048575, true, DOWNLOAD_FILE_TOO_SMALL},
      {"main, exactly 1 MiB", 1048576, true, DOWNLOAD_OK},
      {"side, 500000 bytes", 500000, false, DOWNLOAD_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(LocalPath());
    std::filesystem::remove(LocalPath() + ".xml");
    const std::string bytes = Noise(c.size, static_cast<uint32_t>(c.size));
    std::string summary = "untouched";
    const std::string url = Serve(bytes, std::string(kPath) + std::to_string(c.size));
    EXPECT_EQ(c.result, Download(url, c.mainDownload, &summary));
    EXPECT_TRUE(bytes == LocalBytes());  // every byte arrived either way
    EXPECT_EQ(c.result == DOWNLOAD_FILE_TOO_SMALL ? "untouched" : "", summary);
  }
}

TEST_F(SuperviseTest, StallLimitEndsADownloadWhoseSlicesAllFailAndTheNextAttemptResumes) {
  const std::string bytes = Noise(1048576 + 5);
  const std::string url = Serve(bytes);
  localserver::Rule failing = localserver::Rule::For("GET", kPath, localserver::Fault::NotFound());
  failing.times = -1;
  server_->AddRule(failing);
  SupervisionSettings settings = TestSettings();
  settings.stallLimitMs = 1000;
  std::string summary = "stale";

  const Clock::time_point start = Clock::now();
  EXPECT_EQ(DOWNLOAD_NO_SPEED, Download(url, false, &summary, settings));

  const int64_t elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 1000);
  EXPECT_LT(elapsed, 8000);
  EXPECT_TRUE(log_.Contains("too long no speed:"));
  EXPECT_EQ("", summary);
  ASSERT_TRUE(std::filesystem::exists(LocalPath() + ".xml"));

  server_->ClearFaults();
  EXPECT_EQ(DOWNLOAD_OK, Download(url, false, &summary));
  EXPECT_TRUE(bytes == LocalBytes());
}

// A transfer that hangs would hold the stop up until its 20 s time-out.
TEST_F(SuperviseTest, StallLimitEndsAHangingTransferPromptlyAndTheNextAttemptResumes) {
  const std::string bytes = Noise(1048576 + 77);
  const std::string url = Serve(bytes);
  SetSliceCount(1);
  server_->AddRule(localserver::Rule::For("GET", kPath, localserver::Fault::StallAfter(300000)));
  SupervisionSettings settings = TestSettings();
  settings.stallLimitMs = 500;
  std::string summary;

  const Clock::time_point start = Clock::now();
  EXPECT_EQ(DOWNLOAD_NO_SPEED, Download(url, false, &summary, settings));
  EXPECT_LT(MillisecondsSince(start), 10000);

  server_->ClearFaults();
  EXPECT_EQ(DOWNLOAD_OK, Download(url, false, &summary));
  EXPECT_TRUE(bytes == LocalBytes());
}

// Failed attempts never outnumber three times the slices while each slice is
// attempted once per download, so a CDN address ends by the stall limit.
TEST_F(SuperviseTest, CdnAddressWhoseSlicesAllFailEndsByTheStallLimit) {
  std::string url = Serve(Noise(1048576));
  url.replace(url.find("127.0.0.1"), 9, "cdn.localhost");
  localserver::Rule failing = localserver::Rule::For("GET", kPath, localserver::Fault::NotFound());
  failing.times = -1;
  server_->AddRule(failing);
  SupervisionSettings settings = TestSettings();
  settings.stallLimitMs = 500;
  std::string summary;

  EXPECT_EQ(DOWNLOAD_NO_SPEED, Download(url, false, &summary, settings));
  EXPECT_FALSE(log_.HasPrefix(" ---cdn fail:"));
  EXPECT_GT(GetRequests(*server_), 0u);
}

TEST_F(SuperviseTest, BytesArrivingSteadilyKeepADownloadLongerThanTheStallLimitAlive) {
  const std::string bytes = Noise(1536 * 1024);
  localserver::ServedFile file;
  file.content = localserver::Content::Text(bytes);
  file.bytesPerSecond = 256 * 1024;  // 4 slices of 384 KiB: about 1.5 s
  server_->AddFile(kPath, file);
  SupervisionSettings settings = TestSettings();
  settings.stallLimitMs = 700;
  std::string summary;

  const Clock::time_point start = Clock::now();
  EXPECT_EQ(DOWNLOAD_OK, Download(server_->Url(kPath), false, &summary, settings));

  EXPECT_GT(MillisecondsSince(start), 700);
  EXPECT_TRUE(bytes == LocalBytes());
  EXPECT_FALSE(log_.Contains("too long no speed:"));
}

TEST_F(SuperviseTest, NoNetworkAtTheStartEndsTheDownloadAfterThePause) {
  const std::string url = Serve(Noise(1048576));
  env_.SetEnv("VORNIK_NETWORK_ALIVE", "0");
  SupervisionSettings settings = TestSettings();
  settings.networkDownPauseMs = 300;
  std::string summary = "stale";

  const Clock::time_point start = Clock::now();
  EXPECT_EQ(DOWNLOAD_NETWORK_DOWN, Download(url, true, &summary, settings));

  EXPECT_GE(MillisecondsSince(start), 300);
  EXPECT_TRUE(log_.Contains("network is  no  alive"));
  EXPECT_EQ("", summary);
}

TEST_F(SuperviseTest, NetworkLostDuringTheDownloadStopsItAndTheNextAttemptResumes) {
  SetSliceCount(8);
  const std::string bytes = Noise(4 * 1048576);
  localserver::ServedFile file;
  file.content = localserver::Content::Text(bytes);
  file.bytesPerSecond = 1 << 20;  // the first four slices take about half a second
  server_->AddFile(kPath, file);
  std::string summary;
  {
    ProgressRecorder progress([](int64_t downloaded, int64_t) {
      if (downloaded > 100000) platform::ForceNetworkAliveForTesting(0);
    });
    EXPECT_EQ(DOWNLOAD_NETWORK_DOWN, Download(server_->Url(kPath), true, &summary));
  }
  EXPECT_TRUE(log_.Contains("network is  no  alive"));

  platform::ForceNetworkAliveForTesting(-1);
  ASSERT_TRUE(server_->WaitForExchanges(server_->Exchanges().size(), 5000));
  server_->ClearExchanges();
  file.bytesPerSecond = 0;
  server_->AddFile(kPath, file);
  EXPECT_EQ(DOWNLOAD_OK, Download(server_->Url(kPath), true, &summary));

  EXPECT_TRUE(bytes == LocalBytes());
  EXPECT_GT(server_->BodyBytesServed(), 0);
  EXPECT_LT(server_->BodyBytesServed(), static_cast<int64_t>(bytes.size()));
}

TEST_F(SuperviseTest, PreparationFailureIsReturnedWithTheSummary) {
  std::string summary = "stale";
  EXPECT_EQ(DOWNLOAD_NO_LENGTH, Download(server_->Url("/files/missing.exe"), false, &summary));
  EXPECT_EQ("", summary);
}

}  // namespace
}  // namespace supervise_test
