// Shared pieces of the supervision tests: a sandbox with an HTTPS download
// server trusted through a local CA, recorders for log lines, report records
// and window progress, and pseudo-random file bytes.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "DownLoadImpl.h"
#include "DownloadServer.h"
#include "IDownloadProgress.h"
#include "TestCertificates.h"
#include "reportsdk/IWebLog.h"
#include "support/LogRecorder.h"
#include "support/RecordingWebLog.h"
#include "support/TestEnvironment.h"

namespace supervise_test {

using LogRecorder = testing_support::LogRecorder;
using RecordingWebLog = testing_support::RecordingWebLog;

// The window's side of the progress interface: registered while it lives.
// onReport runs on the supervising thread for every report.
class ProgressRecorder : public IDownloadProgress {
 public:
  explicit ProgressRecorder(
      std::function<void(int64_t downloaded, int64_t total)> onReport = nullptr);
  ~ProgressRecorder() override;
  void UpdateDownloadProgress(int64_t downloaded, int64_t total) override;
  std::vector<std::pair<int64_t, int64_t>> Reports() const;

 private:
  std::function<void(int64_t downloaded, int64_t total)> onReport_;
  mutable std::mutex mutex_;
  std::vector<std::pair<int64_t, int64_t>> reports_;
};

// Pseudo-random bytes, so that a shifted, repeated or lost piece shows.
std::string Noise(size_t size, uint32_t seed = 2463534242u);

class SuperviseTest : public ::testing::Test {
 protected:
  static constexpr char kPath[] = "/files/lumaclear_setup.exe";

  void SetUp() override;
  void TearDown() override;

  std::string LocalPath() const { return env_.Drive() + "/lumaclear_setup.exe"; }
  std::wstring WideLocalPath() const;
  // Serves bytes under path and returns its address. The engine remembers
  // lengths by address for the whole run: new content, new path.
  std::string Serve(const std::string& bytes, const std::string& path = kPath);
  // Cuts the next downloads into sliceNum slices.
  static void SetSliceCount(int32_t sliceNum);
  // Short waits for tests: a 10 s stall limit unless a test sets its own.
  static SupervisionSettings TestSettings();
  // SuperDownloadFile of url into LocalPath().
  int Download(const std::string& url, bool mainDownload, std::string* cdnSummary,
               const SupervisionSettings& settings = TestSettings()) const;
  std::string LocalBytes() const { return testing_support::ReadFile(LocalPath()); }

  testing_support::TestEnvironment env_;
  localserver::TestCertificates certificates_;
  std::unique_ptr<localserver::DownloadServer> server_;
  RecordingWebLog report_;
  LogRecorder log_;
};

}  // namespace supervise_test
