#include "EngineTestSupport.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "DeploymentValues.h"
#include "Logging.h"
#include "SingleUserLog.h"

namespace engine_test {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

std::string Noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed;
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

void EngineTest::SetUp() {
  static const bool curlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  ASSERT_TRUE(curlReady);
  std::filesystem::create_directories(env_.Drive());
  ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/tls", &certificates_));
  const std::string services = env_.Root() + "/services.txt";
  testing_support::WriteFile(services, "ca_file=" + certificates_.caCertificatePem + "\n");
  env_.SetEnv("VORNIK_SERVICES", services);
  deployment::ReloadForTesting();
  CSingleUserLog::GetInstance()->SetReportObjForTesting(&report_);
  CSingleUserLog::GetInstance()->ResetForTesting();
  server_ = std::make_unique<localserver::DownloadServer>(certificates_.server);
  ASSERT_TRUE(server_->Start());
}

void EngineTest::TearDown() {
  server_->Stop();
  CSingleUserLog::GetInstance()->SetReportObjForTesting(nullptr);
  CSingleUserLog::GetInstance()->ResetForTesting();
  deployment::ReloadForTesting();
}

std::string EngineTest::Serve(const std::string& bytes) {
  server_->AddFile(kPath, localserver::Content::Text(bytes));
  return server_->Url(kPath);
}

void EngineTest::SetSliceCount(int32_t sliceNum) {
  CSingleUserLog::GetInstance()->SetDownloadSettings(0, sliceNum, 0, 0);
}

std::unique_ptr<CDownloader> EngineTest::Downloader(const std::string& url, int threads) const {
  auto downloader = std::make_unique<CDownloader>(url, LocalPath(), TaskFilePath(), threads);
  downloader->setWorkerStopWaitMs(5000);
  return downloader;
}

RunEnd EngineTest::Supervise(CDownloader* downloader, int stallMs) const {
  uint64_t generation = downloader->progressGeneration();
  downloader->setState(DriverRunning);
  int64_t lastBytes = downloader->downloadInfo().downloaded;
  Clock::time_point lastArrival = Clock::now();
  RunEnd end = RunEnd::kDriverFinished;
  while (downloader->state() != DriverStopping) {
    generation = downloader->waitForProgress(generation, 50);
    const int64_t downloaded = downloader->downloadInfo().downloaded;
    if (downloaded != lastBytes) {
      lastBytes = downloaded;
      lastArrival = Clock::now();
    } else if (Clock::now() - lastArrival > std::chrono::milliseconds(stallMs)) {
      downloader->setState(DriverStopping);
      end = RunEnd::kStalled;
    }
  }
  EXPECT_TRUE(downloader->waitForDriver(60000));
  return end;
}

}  // namespace engine_test
