#include "SuperviseFixture.h"

#include <curl/curl.h>

#include <algorithm>
#include <filesystem>

#include "DeploymentValues.h"
#include "Logging.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/Network.h"

namespace supervise_test {
namespace {}  // namespace

ProgressRecorder::ProgressRecorder(std::function<void(int64_t, int64_t)> onReport)
    : onReport_(std::move(onReport)) {
  RegisterDownloadProgress(this);
}

ProgressRecorder::~ProgressRecorder() { RegisterDownloadProgress(nullptr); }

void ProgressRecorder::UpdateDownloadProgress(int64_t downloaded, int64_t total) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    reports_.emplace_back(downloaded, total);
  }
  if (onReport_) onReport_(downloaded, total);
}

std::vector<std::pair<int64_t, int64_t>> ProgressRecorder::Reports() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_;
}

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

void SuperviseTest::SetUp() {
  static const bool curlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  ASSERT_TRUE(curlReady);
  std::filesystem::create_directories(env_.Drive());
  ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/tls", &certificates_));
  const std::string services = env_.Root() + "/services.txt";
  testing_support::WriteFile(services, "ca_file=" + certificates_.caCertificatePem + "\n");
  env_.SetEnv("VORNIK_SERVICES", services);
  env_.SetEnv("VORNIK_NETWORK_ALIVE", "1");
  deployment::ReloadForTesting();
  CSingleUserLog::GetInstance()->SetReportObjForTesting(&report_);
  CSingleUserLog::GetInstance()->ResetForTesting();
  SetSliceCount(4);
  server_ = std::make_unique<localserver::DownloadServer>(certificates_.server);
  ASSERT_TRUE(server_->Start());
}

void SuperviseTest::TearDown() {
  platform::ForceNetworkAliveForTesting(-1);
  server_->Stop();
  CSingleUserLog::GetInstance()->SetReportObjForTesting(nullptr);
  CSingleUserLog::GetInstance()->ResetForTesting();
  deployment::ReloadForTesting();
}

std::wstring SuperviseTest::WideLocalPath() const { return platform::FromUtf8(LocalPath()); }

std::string SuperviseTest::Serve(const std::string& bytes, const std::string& path) {
  server_->AddFile(path, localserver::Content::Text(bytes));
  return server_->Url(path);
}

void SuperviseTest::SetSliceCount(int32_t sliceNum) {
  CSingleUserLog::GetInstance()->SetDownloadSettings(0, sliceNum, 0, 0);
}

SupervisionSettings SuperviseTest::TestSettings() {
  SupervisionSettings settings;
  settings.stallLimitMs = 10000;
  settings.driverWaitMs = 60000;
  settings.networkDownPauseMs = 0;
  settings.threadCount = 4;
  settings.workerStopWaitMs = 5000;
  return settings;
}

int SuperviseTest::Download(const std::string& url, bool mainDownload, std::string* cdnSummary,
                            const SupervisionSettings& settings) const {
  return CDownLoadImpl(settings).SuperDownloadFile(platform::FromUtf8(url), WideLocalPath(),
                                                   *cdnSummary, mainDownload);
}

}  // namespace supervise_test
