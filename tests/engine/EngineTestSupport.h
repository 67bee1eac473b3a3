// Shared pieces of the engine tests: a log recorder, a report SDK stand-in
// that keeps the GA4 events, pseudo-random file bytes, and a fixture with a
// sandbox, an HTTPS download server trusted through a local CA, and a small
// supervisor that runs a CDownloader the way the engine's caller does.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CDownloader.h"
#include "DownloadServer.h"
#include "TestCertificates.h"
#include "reportsdk/IWebLog.h"
#include "support/LogRecorder.h"
#include "support/RecordingWebLog.h"
#include "support/TestEnvironment.h"

namespace engine_test {

using LogRecorder = testing_support::LogRecorder;
using RecordingWebLog = testing_support::RecordingWebLog;

// Pseudo-random bytes, so that a shifted, repeated or lost piece shows.
std::string Noise(size_t size, uint32_t seed = 2463534242u);

// How a supervised run ended.
enum class RunEnd {
  kDriverFinished,  // the driver found every slice done and stopped itself
  kStalled,         // no byte arrived within the stall limit; the driver was told to stop
};

class EngineTest : public ::testing::Test {
 protected:
  static constexpr char kPath[] = "/files/lumaclear_setup.exe";

  void SetUp() override;
  void TearDown() override;

  std::string LocalPath() const { return env_.Drive() + "/lumaclear_setup.exe"; }
  std::string TaskFilePath() const { return LocalPath() + ".xml"; }
  // Serves bytes under kPath and returns its address.
  std::string Serve(const std::string& bytes);
  // Publishes the configuration's slicing: sliceNum slices.
  static void SetSliceCount(int32_t sliceNum);
  // A downloader of url into LocalPath() with short test waits.
  std::unique_ptr<CDownloader> Downloader(const std::string& url, int threads = 4) const;
  // Runs a prepared downloader: sets it running and watches its progress
  // record until the driver stops by itself, or until no byte arrived for
  // stallMs (then tells it to stop). Waits for the driver either way.
  RunEnd Supervise(CDownloader* downloader, int stallMs = 3000) const;
  // The bytes of the local file.
  std::string LocalBytes() const { return testing_support::ReadFile(LocalPath()); }

  testing_support::TestEnvironment env_;
  localserver::TestCertificates certificates_;
  std::unique_ptr<localserver::DownloadServer> server_;
  RecordingWebLog report_;
  LogRecorder log_;
};

}  // namespace engine_test
