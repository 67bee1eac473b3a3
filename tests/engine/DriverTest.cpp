// Whole downloads through CDownloader against a local HTTPS server: the bytes
// that land, slices that fail waiting for the next download, what each
// failure of the preparation returns, stopping on request, and closing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "CDownloader.h"
#include "CThreadManager.h"
#include "EngineTestSupport.h"

namespace engine_test {
namespace {

namespace fs = std::filesystem;
using localserver::Fault;
using localserver::Rule;

int64_t GetBodyBytes(const localserver::DownloadServer& server) {
  int64_t bytes = 0;
  for (const auto& exchange : server.Exchanges()) {
    if (exchange.request.method == "GET") bytes += exchange.bodyBytes;
  }
  return bytes;
}

size_t GetCount(const localserver::DownloadServer& server) {
  size_t count = 0;
  for (const auto& exchange : server.Exchanges()) count += exchange.request.method == "GET";
  return count;
}

using DriverTest = EngineTest;

struct WholeCase {
  size_t length;
  int32_t slices;
  int threads;
};

class WholeDownloadTest : public EngineTest, public ::testing::WithParamInterface<WholeCase> {};

TEST_P(WholeDownloadTest, EveryByteLandsInItsPlace) {
  const WholeCase& row = GetParam();
  const std::string bytes = Noise(row.length);
  const std::string url = Serve(bytes);
  SetSliceCount(row.slices);
  auto downloader = Downloader(url, row.threads);
  ASSERT_EQ(downloader->downloadInit("Download", 1), DOWNLOAD_OK);
  EXPECT_EQ(downloader->contentLength(), static_cast<int64_t>(row.length));

  EXPECT_EQ(Supervise(downloader.get()), RunEnd::kDriverFinished);
  EXPECT_TRUE(downloader->dispatched());
  const DownloadInfo info = downloader->downloadInfo();
  EXPECT_EQ(info.downloaded, static_cast<int64_t>(row.length) + 1);
  EXPECT_EQ(info.percent, 100.0);
  EXPECT_EQ(info.requestTimes, 0);
  EXPECT_EQ(downloader->getCdnSummary(), "");
  EXPECT_EQ(downloader->closeDownload(), 1);
  EXPECT_TRUE(LocalBytes() == bytes) << "the local file differs from the served one";
  EXPECT_EQ(GetCount(*server_), static_cast<size_t>(row.slices));
  EXPECT_FALSE(log_.Contains(" Stopping Download,Mission Failed"));
  EXPECT_TRUE(log_.Contains(" Download will stop"));
  EXPECT_TRUE(log_.Contains(" Download Stopped！"));
}

INSTANTIATE_TEST_SUITE_P(Slicings, WholeDownloadTest,
                         ::testing::Values(WholeCase{1048579, 4, 4},  // remainder in the last
                                           WholeCase{3000000, 5, 8},  // more workers than slices
                                           WholeCase{2000000, 9, 4},  // more slices than workers
                                           WholeCase{300000, 1, 4}));

TEST_F(DriverTest, FailedSlicesWaitForTheNextDownloadWhichFetchesOnlyWhatIsMissing) {
  const std::string bytes = Noise(4 * 262144 + 3);
  const std::string url = Serve(bytes);
  SetSliceCount(4);
  Rule drop = Rule::For("GET", kPath, Fault::DropAfter(70000));
  drop.rangeFirst = 2 * 262144;
  server_->AddRule(drop);
  {
    auto downloader = Downloader(url);
    ASSERT_EQ(downloader->downloadInit("Download", 1), DOWNLOAD_OK);
    EXPECT_EQ(Supervise(downloader.get(), 500), RunEnd::kStalled)
        << "a failed slice is not tried again within the download";
    EXPECT_EQ(downloader->downloadInfo().requestTimes, 1);
    EXPECT_LT(downloader->downloadInfo().downloaded, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(GetCount(*server_), 4u);
    downloader->closeDownload();
  }
  EXPECT_TRUE(log_.Contains(" Stopping Download,Mission Failed"));
  ASSERT_TRUE(fs::exists(TaskFilePath()));

  server_->ClearExchanges();
  auto resumed = Downloader(url);
  ASSERT_EQ(resumed->downloadInit("Download", 1), DOWNLOAD_OK);
  EXPECT_EQ(Supervise(resumed.get()), RunEnd::kDriverFinished);
  resumed->closeDownload();
  EXPECT_TRUE(LocalBytes() == bytes);
  ASSERT_TRUE(server_->WaitForExchanges(GetCount(*server_), 10000));
  EXPECT_EQ(GetCount(*server_), 1u) << "only the failed slice is fetched again";
  EXPECT_LE(GetBodyBytes(*server_), 262144 - 70000 + 1);
}

TEST_F(DriverTest, ACompleteTaskFileFinishesWithoutRequests) {
  const std::string bytes = Noise(1500000);
  const std::string url = Serve(bytes);
  SetSliceCount(3);
  {
    auto first = Downloader(url);
    ASSERT_EQ(first->downloadInit("Download", 1), DOWNLOAD_OK);
    ASSERT_EQ(Supervise(first.get()), RunEnd::kDriverFinished);
  }
  server_->ClearExchanges();
  auto again = Downloader(url);
  ASSERT_EQ(again->downloadInit("Download", 1), DOWNLOAD_OK);
  EXPECT_EQ(Supervise(again.get()), RunEnd::kDriverFinished);
  EXPECT_FALSE(again->dispatched());
  EXPECT_EQ(again->downloadInfo().downloaded, 1500001);
  again->closeDownload();
  EXPECT_EQ(GetCount(*server_), 0u);
  EXPECT_TRUE(LocalBytes() == bytes);
}

TEST_F(DriverTest, AStopRequestDuringAStalledTransferKeepsWhatArrived) {
  const std::string bytes = Noise(4 * 100000);
  const std::string url = Serve(bytes);
  SetSliceCount(4);
  Rule stall = Rule::For("GET", kPath, Fault::StallAfter(30000));
  stall.rangeFirst = 100000;
  server_->AddRule(stall);
  auto downloader = Downloader(url);
  ASSERT_EQ(downloader->downloadInit("Download", 1), DOWNLOAD_OK);
  uint64_t generation = downloader->progressGeneration();
  downloader->setState(DriverRunning);
  // Three complete slices (the last one counting one byte more) and 30000
  // bytes of the stalled one, counted as DownloadedPos - StartPos + 1.
  const int64_t expected = 3 * 100000 + 1 + 30000 + 1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (downloader->downloadInfo().downloaded < expected &&
         std::chrono::steady_clock::now() < deadline) {
    generation = downloader->waitForProgress(generation, 100);
  }
  ASSERT_EQ(downloader->downloadInfo().downloaded, expected);

  // The stop abandons the hanging transfer within about a second, well
  // before the transfer's own 20 s limit.
  const auto stop = std::chrono::steady_clock::now();
  downloader->setState(DriverStopping);
  ASSERT_TRUE(downloader->waitForDriver(20000));
  EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::seconds(10));
  EXPECT_EQ(downloader->downloadInfo().requestTimes, 1);
  downloader->closeDownload();
  EXPECT_TRUE(log_.Contains(" Stopping Download,Mission Failed"));
  const std::string local = LocalBytes();
  EXPECT_TRUE(local.substr(100000, 30000) == bytes.substr(100000, 30000));
  const std::string saved = testing_support::ReadFile(TaskFilePath());
  EXPECT_NE(saved.find("<DownloadedPos>130000</DownloadedPos>"), std::string::npos) << saved;
}

struct PreparationCase {
  const char* name;
  int redirectHops;  // 0: the file is missing instead
  EnumErrorCode result;
};

class PreparationFailureTest : public EngineTest,
                               public ::testing::WithParamInterface<PreparationCase> {};

TEST_P(PreparationFailureTest, ReturnsTheCauseAndLeavesNoFiles) {
  std::string url = server_->Url("/files/missing.exe");
  if (GetParam().redirectHops > 0) {
    Serve(Noise(1000));
    server_->AddRedirectChain("/files/hop", GetParam().redirectHops, kPath);
    url = server_->Url("/files/hop");
  }
  auto downloader = Downloader(url);
  EXPECT_EQ(downloader->downloadInit("Download", 1), GetParam().result);
  EXPECT_TRUE(log_.Contains(" [Error]: error to loadDownloadTask"));
  downloader->setState(DriverStopping);
  EXPECT_TRUE(downloader->waitForDriver(10000));
  EXPECT_EQ(downloader->getCdnSummary(), "");
  EXPECT_EQ(downloader->closeDownload(), 1);
  EXPECT_FALSE(fs::exists(TaskFilePath()));
  EXPECT_FALSE(fs::exists(LocalPath()));
  EXPECT_EQ(GetCount(*server_), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, PreparationFailureTest,
    ::testing::Values(PreparationCase{"NotFound", 0, DOWNLOAD_NO_LENGTH},
                      PreparationCase{"TooManyRedirects", 6, DOWNLOAD_TOO_MANY_REDIRECTS}),
    [](const ::testing::TestParamInfo<PreparationCase>& info) { return info.param.name; });

TEST_F(DriverTest, ALocalFileThatCannotBeOpenedIsReported) {
  const std::string url = Serve(Noise(1000));
  const std::string local = env_.Drive() + "/no such folder/lumaclear_setup.exe";
  CDownloader downloader(url, local, local + ".xml", 4);
  EXPECT_EQ(downloader.downloadInit("Download", 1), DOWNLOAD_OPEN_FILE_FAILED);
  EXPECT_TRUE(report_.HasEvent("Other", "OpenFileErrCode", "3"));
  downloader.setState(DriverStopping);
  EXPECT_TRUE(downloader.waitForDriver(10000));
  downloader.closeDownload();
}

TEST_F(DriverTest, CloseEndsEveryWorkerPromptly) {
  const std::string url = Serve(Noise(800000));
  SetSliceCount(2);
  auto downloader = Downloader(url, 8);
  downloader->setWorkerStopWaitMs(CThreadManager::kDefaultStopWaitMs);
  ASSERT_EQ(downloader->downloadInit("Download", 1), DOWNLOAD_OK);
  ASSERT_EQ(Supervise(downloader.get()), RunEnd::kDriverFinished);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(downloader->closeDownload(), 1);
  EXPECT_EQ(downloader->closeDownload(), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(downloader->state(), DriverIdle);
}

TEST_F(DriverTest, CloseWithoutADownloadStopsTheIdleDriver) {
  auto downloader = Downloader(server_->Url(kPath));
  EXPECT_EQ(downloader->state(), DriverIdle);
  EXPECT_EQ(downloader->closeDownload(), 1);
  EXPECT_FALSE(fs::exists(TaskFilePath()));
  EXPECT_EQ(downloader->downloadInfo().downloaded, 0);
}

TEST_F(DriverTest, CdnSummaryCollectsTheSlicesCloudflareValues) {
  const std::string bytes = Noise(600000);
  localserver::ServedFile file;
  file.content = localserver::Content::Text(bytes);
  server_->AddFile(kPath, file);
  SetSliceCount(2);
  Rule first = Rule::For("GET", kPath, Fault::None());
  first.rangeFirst = 0;
  first.headers = {{"CF-RAY", "8a1b2c3d4e5f6789-FRA"}, {"CF-Cache-Status", "HIT"}};
  server_->AddRule(first);
  auto downloader = Downloader(server_->Url(kPath));
  ASSERT_EQ(downloader->downloadInit("Download", 1), DOWNLOAD_OK);
  ASSERT_EQ(Supervise(downloader.get()), RunEnd::kDriverFinished);
  EXPECT_EQ(downloader->getCdnSummary(), "T();C(FRA/HIT;)");
  downloader->closeDownload();
}

}  // namespace
}  // namespace engine_test
