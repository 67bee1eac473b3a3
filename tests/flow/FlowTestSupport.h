// The install flow's test bench: a sandboxed machine, an HTTPS update server
// and download host (one DownloadServer) trusted through a local CA, the
// signed test installer, a recorder for the report SDK, and a main window
// that was never shown, whose posted messages are recorded.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "Common/install_ui_mainwnd.h"
#include "DownLoadImpl.h"
#include "DownloadServer.h"
#include "TestCertificates.h"
#include "support/LogRecorder.h"
#include "support/RecordingWebLog.h"
#include "support/TestEnvironment.h"

namespace flow_test {

using LogRecorder = testing_support::LogRecorder;

std::wstring Wide(const std::string& text);

// The messages the flow posted, in order.
class MessageRecorder {
 public:
  void Add(uint32_t message, uintptr_t wParam);
  std::vector<std::pair<uint32_t, uintptr_t>> Messages() const;
  std::vector<uint32_t> Numbers() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<uint32_t, uintptr_t>> messages_;
};

class FlowTest : public ::testing::Test {
 protected:
  static constexpr char kInstallerPath[] = "/files/lumaclear_setup_2.0.0.1.exe";
  static constexpr char kVersion[] = "2.0.0.1";

  void SetUp() override;
  void TearDown() override;

  // Serves installer (a file of the build) and answers the configuration
  // request with a reply for it; extra elements are added to the reply.
  void ServeInstaller(const std::string& installerFile, const std::string& extraElements = "",
                      const std::string& md5Override = "");
  // Installs a copy of the program's package whose product configuration
  // carries value in the label key, and makes the window anew from it.
  void UseProductLabel(const std::string& key, const std::string& value);
  // Runs one attempt on this thread.
  void RunFlow();
  std::string InstallFolder() const { return env_.Root() + "/programs/Vornik Lumaclear"; }
  std::wstring PackagePath() const;

  testing_support::TestEnvironment env_;
  localserver::TestCertificates certificates_;
  std::unique_ptr<localserver::DownloadServer> server_;
  testing_support::RecordingWebLog report_;
  LogRecorder log_;
  MessageRecorder messages_;
  void MakeWindow();

  std::unique_ptr<InstallUIMainWnd> window_;
  std::string package_;  // the package in use when UseProductLabel replaced it
  SupervisionSettings supervision_;
};

}  // namespace flow_test
