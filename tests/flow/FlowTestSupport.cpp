#include "FlowTestSupport.h"

#include <curl/curl.h>
#include <zip.h>

#include <filesystem>

#include "DeploymentValues.h"
#include "MD5.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/Network.h"
#include "platform/Paths.h"
#include "platform/Resource.h"
#include "uitoolkit/SkinPackage.h"

namespace flow_test {

std::wstring Wide(const std::string& text) { return platform::FromUtf8(text); }

void MessageRecorder::Add(uint32_t message, uintptr_t wParam) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.emplace_back(message, wParam);
}

std::vector<std::pair<uint32_t, uintptr_t>> MessageRecorder::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

std::vector<uint32_t> MessageRecorder::Numbers() const {
  std::vector<uint32_t> numbers;
  for (const auto& message : Messages()) numbers.push_back(message.first);
  return numbers;
}

void FlowTest::SetUp() {
  static const bool curlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  ASSERT_TRUE(curlReady);
  std::filesystem::create_directories(env_.Drive());
  ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/tls", &certificates_));
  server_ = std::make_unique<localserver::DownloadServer>(certificates_.server);
  ASSERT_TRUE(server_->Start());
  const std::string base = server_->Url("");
  const std::string host = base.substr(0, base.size() - (base.back() == '/' ? 1 : 0));
  const std::string services = env_.Root() + "/services.txt";
  testing_support::WriteFile(services, "update=" + host + "\nupdate_cn=" + host +
                                           "\nupdate_test=" + host + "\nalert=" + host +
                                           "\nca_file=" + certificates_.caCertificatePem + "\n");
  env_.SetEnv("VORNIK_SERVICES", services);
  env_.SetEnv("VORNIK_NETWORK_ALIVE", "1");
  env_.SetEnv("VORNIK_SHELL_OPEN", "/bin/true");
  env_.SetEnv("VORNIK_PRODUCT_INSTALL_MS", "0");
  env_.SetEnv("VORNIK_WINDOWS_VERSION", "10.0.19045");
  deployment::ReloadForTesting();
  platform::SetModuleFilePathForTesting(Wide(env_.Root() + "/program/lumaclear_setup.exe"));
  // The program's own package, as the entry installs it.
  platform::ResourceBytes bytes;
  ASSERT_TRUE(platform::LoadResourceBytes(L"ZIPRES", 138, &bytes));
  ASSERT_TRUE(ui::SetResourcePackage(bytes.data, bytes.size));
  CSingleUserLog* log = CSingleUserLog::GetInstance();
  log->SetReportObjForTesting(&report_);
  log->ResetForTesting();
  log->InitLogPath(L"lumaclear_setup");

  supervision_.stallLimitMs = 2000;
  supervision_.driverWaitMs = 30000;
  supervision_.networkDownPauseMs = 0;
  MakeWindow();
}

void FlowTest::MakeWindow() {
  window_ = std::make_unique<InstallUIMainWnd>();
  window_->SetFlowMessageSinkForTesting(
      [this](uint32_t message, uintptr_t wParam) { messages_.Add(message, wParam); });
  window_->SetInstallFolderText(Wide(env_.Root() + "/programs"));
  window_->SetInstallerWaitPassMsForTesting(2);
  // No window timers here: the bar stands at its end when the installer ends.
  window_->SetProgressValue(100);
  window_->SetSupervisionSettingsForTesting(supervision_);
}

void FlowTest::UseProductLabel(const std::string& key, const std::string& value) {
  platform::ResourceBytes bytes;
  ASSERT_TRUE(platform::LoadResourceBytes(L"ZIPRES", 138, &bytes));
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data, bytes.size, 0, &error);
  zip_t* original = zip_open_from_source(source, ZIP_RDONLY, &error);
  ASSERT_NE(original, nullptr);
  const std::string path = env_.Root() + "/package.zip";
  zip_t* copy = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
  ASSERT_NE(copy, nullptr);
  std::string config;  // kept alive until the copy is written
  for (zip_int64_t i = 0; i < zip_get_num_entries(original, 0); ++i) {
    const std::string name = zip_get_name(original, static_cast<zip_uint64_t>(i), 0);
    zip_source_t* entry = nullptr;
    if (name == "configure/configure.xml") {
      zip_stat_t stat;
      zip_stat_index(original, static_cast<zip_uint64_t>(i), 0, &stat);
      config.resize(stat.size);
      zip_file_t* file = zip_fopen_index(original, static_cast<zip_uint64_t>(i), 0);
      zip_fread(file, config.data(), config.size());
      zip_fclose(file);
      const std::string marker = "name=\"" + key + "\" text=\"";
      const size_t at = config.find(marker);
      ASSERT_NE(at, std::string::npos) << key;
      const size_t from = at + marker.size();
      config.replace(from, config.find('"', from) - from, value);
      entry = zip_source_buffer(copy, config.data(), config.size(), 0);
    } else {
      entry = zip_source_zip(copy, original, static_cast<zip_uint64_t>(i), 0, 0, -1);
    }
    ASSERT_GE(zip_file_add(copy, name.c_str(), entry, ZIP_FL_ENC_UTF_8), 0) << name;
  }
  ASSERT_EQ(zip_close(copy), 0);
  zip_close(original);
  package_ = testing_support::ReadFile(path);
  ASSERT_TRUE(ui::SetResourcePackage(package_.data(), package_.size()));
  MakeWindow();
}

void FlowTest::TearDown() {
  window_.reset();
  platform::SetModuleFilePathForTesting(std::wstring());
  server_->Stop();
  CSingleUserLog::GetInstance()->SetReportObjForTesting(nullptr);
  CSingleUserLog::GetInstance()->ResetForTesting();
  deployment::ReloadForTesting();
}

void FlowTest::ServeInstaller(const std::string& installerFile, const std::string& extraElements,
                              const std::string& md5Override) {
  const std::string bytes = testing_support::ReadFile(installerFile);
  ASSERT_GT(bytes.size(), 1048576u) << installerFile;
  server_->AddFile(kInstallerPath, localserver::Content::Text(bytes));
  const std::string md5 = md5Override.empty() ? Md5OfText(bytes) : md5Override;
  server_->SetConfigurationReply(
      200, "<Downloader><Software_name>Vornik Lumaclear</Software_name><Software_version>" +
               std::string(kVersion) + "</Software_version><Download_url>" +
               server_->Url(kInstallerPath) + "</Download_url><Md5>" + md5 +
               "</Md5><Process_name>LumaclearApp.exe</Process_name><Slice_num>4</Slice_num>" +
               extraElements + "</Downloader>");
}

void FlowTest::RunFlow() { InstallUIMainWnd::InstallThreadFunc(window_.get()); }

std::wstring FlowTest::PackagePath() const {
  return CSingleUserLog::GetInstance()->GetWorkFolder() + L"/" + window_->PackageFileName();
}

}  // namespace flow_test
