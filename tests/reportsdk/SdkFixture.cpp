#include "SdkFixture.h"

#include <filesystem>

#include "DeploymentValues.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"

namespace sdktest {

namespace fs = std::filesystem;

reportsdk::MachineFacts SdkTest::Facts() {
  reportsdk::MachineFacts facts;
  facts.uid = "0f6a3b7e-5d2c-4b1a-9e8f-1234567890ab";
  facts.osName = "Debian GNU/Linux 12 (bookworm)-64";
  facts.osVersion = "12(6.1.0)";
  facts.mac = "00:11:22:33:44:AA";
  facts.boardMaker = "Vornik Boards";
  facts.boardProduct = "VB-1";
  facts.volumeSerial = "1A2B3C4D";
  return facts;
}

reportsdk::SenderTiming SdkTest::ShortTiming() {
  reportsdk::SenderTiming timing;
  timing.idlePollMs = 20;
  timing.retryPauseMs = 5;
  timing.drainPollMs = 20;
  timing.drainLimitMs = 1500;
  timing.connectTimeoutS = 5;
  timing.transferTimeoutS = 10;
  return timing;
}

void SdkTest::SetUp() {
  collector_ = std::make_unique<localserver::LocalCollector>(env_.Root() + "/collector");
  ASSERT_TRUE(collector_->Start());
  env_.SetEnv("VORNIK_SERVICES", collector_->ServicesFile());
  deployment::ReloadForTesting();
  fs::create_directories(ProgramFolder());
  platform::SetModuleFilePathForTesting(platform::FromUtf8(ProgramFolder() + "vornik-setup"));
  sdk_ = MakeSdk();
}

void SdkTest::TearDown() {
  sdk_.reset();
  collector_->Stop();
  platform::SetModuleFilePathForTesting(L"");
  deployment::ReloadForTesting();
}

std::unique_ptr<SdkTest::Sdk> SdkTest::MakeSdk(const std::string& commandLine) {
  auto sdk = std::make_unique<Sdk>();
  sdk->management = std::make_unique<reportsdk::CManagement>();
  sdk->management->SetMachineFactsForTesting(Facts());
  sdk->management->SetCommandLineForTesting(commandLine);
  Sdk* raw = sdk.get();
  sdk->management->SetExitForTesting([raw](int code) { raw->exitCode = code; });
  sdk->sender = std::make_unique<reportsdk::CNetworkCommunicate>(*sdk->management, ShortTiming());
  sdk->web = std::make_unique<reportsdk::WebLog>(sdk->management.get(), sdk->sender.get());
  return sdk;
}

void SdkTest::InitSdk(Sdk& sdk, int32_t mainPid) {
  sdk.web->Init(2, mainPid, mainPid, "", "", "Vornik Lumaclear", "1.0.0.0", "");
  sdk.web->SetDownloaderInfo(127, 0, "en", "1.0.0.1");
}

std::string SdkTest::SdkFolder() const {
  return env_.AppData() + "/VUZiduZadodaDUR/" + std::to_string(kMainPid);
}

std::string SdkTest::SdkLogText() const {
  std::string text;
  std::error_code error;
  for (const auto& file : fs::directory_iterator(SdkFolder() + "/logs", error)) {
    text += testing_support::ReadFile(file.path().string());
  }
  return text;
}

std::vector<reportsdk::BacklogEntry> SdkTest::BacklogEntries() const {
  return reportsdk::Backlog(platform::FromUtf8(BacklogFile())).Read();
}

std::string Ga4Tail(const std::string& category, const std::string& action,
                    const std::string& label) {
  return "&tid=G-R8KW2QZ5NT&ep.mv_productname=Downloader&ep.mv_productversion=1.0.0.1"
         "&ep.mv_category=" +
         category + "&ep.mv_action=" + action + "&ep.mv_label=" + label + "&en=" + action +
         "&ep.cd1=1.0.0.1&ep.cd2=SEO&ep.cd3=61&ep.cd4=Vornik Lumaclear&ep.cd5=United States"
         "&ep.cd6=English&ep.cd7=Debian 64bit&ep.cd8=1";
}

std::string FunnelInput(const std::string& category, const std::string& action) {
  return "{\"is_new\": 1, \"brand\": \"PC\", \"actions\": {\"event_category\": \"" + category +
         "\", \"event_action\": \"" + action +
         "\", \"event_label\": \"null\", \"event_type\": \"event\"}, \"pid\": 2739}";
}

}  // namespace sdktest
