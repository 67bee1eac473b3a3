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

std::mutex& LinesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<std::string>& RecordedLines() {
  static std::vector<std::string> lines;
  return lines;
}

class RecordingCallback : public el::LogDispatchCallback {
 protected:
  void handle(const el::LogDispatchData* data) override {
    std::lock_guard<std::mutex> lock(LinesMutex());
    RecordedLines().push_back(data->logMessage()->message());
  }
};

constexpr char kRecorderId[] = "engine_test_recorder";
using Clock = std::chrono::steady_clock;

}  // namespace

LogRecorder::LogRecorder() {
  el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
  el::Helpers::installLogDispatchCallback<RecordingCallback>(kRecorderId);
  std::lock_guard<std::mutex> lock(LinesMutex());
  RecordedLines().clear();
}

LogRecorder::~LogRecorder() {
  el::Helpers::uninstallLogDispatchCallback<RecordingCallback>(kRecorderId);
}

std::vector<std::string> LogRecorder::Lines() const {
  std::lock_guard<std::mutex> lock(LinesMutex());
  return RecordedLines();
}

bool LogRecorder::Contains(const std::string& line) const { return Count(line) > 0; }

size_t LogRecorder::Count(const std::string& line) const {
  const std::vector<std::string> lines = Lines();
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

int RecordingWebLog::SendGa4(const char* queryTail) {
  std::lock_guard<std::mutex> lock(mutex_);
  ga4_.push_back(queryTail);
  return 0;
}

bool RecordingWebLog::HasEvent(const std::string& action, const std::string& label) const {
  const std::string wanted = "&ep.mv_action=" + action + "&ep.mv_label=" + label;
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(ga4_.begin(), ga4_.end(), [&wanted](const std::string& tail) {
    const size_t at = tail.find(wanted);
    return at != std::string::npos &&
           (at + wanted.size() == tail.size() || tail[at + wanted.size()] == '&');
  });
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
