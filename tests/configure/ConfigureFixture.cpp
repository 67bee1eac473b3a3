#include "ConfigureFixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "DeploymentValues.h"
#include "JsonText.h"
#include "Logging.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/Resource.h"
#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/ResourcePackage.h"

namespace configure_test {

namespace {

std::string Text(const char* text) { return text ? text : ""; }

// The value of "&name=" in a GA4 query tail, up to the next "&".
std::string TailValue(const std::string& tail, const std::string& name) {
  const std::string key = "&" + name + "=";
  const size_t at = tail.find(key);
  if (at == std::string::npos) return "<missing>";
  const size_t from = at + key.size();
  return tail.substr(from, tail.find('&', from) - from);
}

}  // namespace

void PrintTo(const Ga4Event& event, std::ostream* out) {
  *out << "{" << event.category << ", " << event.action << ", " << event.label << "}";
}

int RecordingWebLog::SetExtraCommon(const char*, const char*, const char* toolsLanguage,
                                    const char* productVersion, int32_t) {
  std::lock_guard<std::mutex> lock(mutex_);
  common_.emplace_back(Text(toolsLanguage), Text(productVersion));
  return 0;
}

int RecordingWebLog::SendFunnel(const char* recordJson) {
  std::lock_guard<std::mutex> lock(mutex_);
  funnel_.push_back(Text(recordJson));
  return 0;
}

int RecordingWebLog::SendGa4(const char* queryTail) {
  std::lock_guard<std::mutex> lock(mutex_);
  ga4_.push_back(Text(queryTail));
  return 0;
}

std::vector<Ga4Event> RecordingWebLog::Ga4Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Ga4Event> events;
  for (const std::string& tail : ga4_) {
    events.push_back({TailValue(tail, "ep.mv_category"), TailValue(tail, "ep.mv_action"),
                      TailValue(tail, "ep.mv_label")});
  }
  return events;
}

std::vector<Json::Value> RecordingWebLog::FunnelActions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Json::Value> actions;
  for (const std::string& text : funnel_) {
    Json::Value record;
    EXPECT_TRUE(ParseJsonText(text, &record)) << text;
    actions.push_back(record["actions"]);
  }
  return actions;
}

std::vector<std::pair<std::string, std::string>> RecordingWebLog::CommonInfos() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return common_;
}

std::vector<std::string> ExpectedContentLines(const char* sourceLine,
                                              const std::vector<std::string>& values) {
  static const char* const kLabels[] = {" [File ContentLength]: ", " [Downloader Id]: ",
                                        " [SoftWare Id]: ",        " [Site Id]: ",
                                        " [Language Id]: ",        " [Software Name]: ",
                                        " [Software Version]: ",   " [Remote Path]: ",
                                        " [MD5 String]: ",         " [Process Name]: ",
                                        " [Install Url]: ",        " [Banner Url]: ",
                                        " [Licensefile Url]: ",    " [Extra Download Url]: ",
                                        " [Cnet Download Url]: ",  " [MD5 Extra String]: ",
                                        " [Downloader config]: ",  " [Slice num]: ",
                                        " [Slice size]: ",         " [Additional Time]: "};
  EXPECT_EQ(values.size(), std::size(kLabels));
  std::vector<std::string> lines = {sourceLine};
  for (size_t i = 0; i < values.size() && i < std::size(kLabels); ++i) {
    lines.push_back(kLabels[i] + values[i]);
  }
  return lines;
}

void ConfigureTest::SetUp() {
  std::filesystem::create_directories(env_.Root() + "/program");
  platform::SetModuleFilePathForTesting(
      platform::FromUtf8(env_.Root() + "/program/vornik-lumaclear-setup"));
  env_.SetEnv("VORNIK_WINDOWS_VERSION", "10.0.19045");
  deployment::ReloadForTesting();
  CSingleUserLog::GetInstance()->SetReportObjForTesting(&report_);
  CSingleUserLog::GetInstance()->ResetForTesting();

  platform::ResourceBytes bytes;
  ASSERT_TRUE(platform::LoadResourceBytes(L"ZIPRES", 138, &bytes));
  ASSERT_TRUE(ui::SetResourcePackage(bytes.data, bytes.size));
  productTree_ = ui::BuildFreeStandingTree(L"configure/configure.xml");
  ASSERT_NE(productTree_, nullptr);
}

void ConfigureTest::TearDown() {
  CSingleUserLog::GetInstance()->SetReportObjForTesting(nullptr);
  CSingleUserLog::GetInstance()->ResetForTesting();
  platform::SetModuleFilePathForTesting(L"");
  deployment::ReloadForTesting();
}

void ConfigureTest::SetLabel(const std::wstring& key, const std::wstring& text) {
  ui::Control* label = ui::FindControl(productTree_.get(), key);
  ASSERT_NE(label, nullptr) << platform::ToUtf8(key);
  label->SetAttribute(L"text", text);
}

void ConfigureTest::SetTestEnv() {
  testing_support::WriteFile(env_.Root() + "/program/mv_downloader.cfg", "[Settings]\nTestEnv=1\n");
}

void ConfigureTest::PointServices(const std::string& international, const std::string& mainland,
                                  const std::string& test, const std::string& caFile) {
  std::string text =
      "update=" + international + "\nupdate_cn=" + mainland + "\nupdate_test=" + test + "\n";
  if (!caFile.empty()) text += "ca_file=" + caFile + "\n";
  const std::string path = env_.Root() + "/configure-services.conf";
  testing_support::WriteFile(path, text);
  env_.SetEnv("VORNIK_SERVICES", path);
  deployment::ReloadForTesting();
}

std::unique_ptr<CConfigure> ConfigureTest::MakeRecord() {
  auto record = std::make_unique<CConfigure>(127, 1033, 61);
  record->loadFromProductConfig(productTree_.get(), false);
  return record;
}

std::unique_ptr<CConfigure> ConfigureTest::MakeRecordAnswering(int result,
                                                               const std::string& body) {
  std::unique_ptr<CConfigure> record = MakeRecord();
  record->setFetcherForTesting([this, result, body](const std::string& url, std::string* out) {
    std::lock_guard<std::mutex> lock(fetchedMutex_);
    fetched_.push_back(url);
    *out = body;
    return result;
  });
  return record;
}

std::vector<std::string> ConfigureTest::FetchedUrls() const {
  std::lock_guard<std::mutex> lock(fetchedMutex_);
  return fetched_;
}

void UpdateServerTest::SetUp() {
  ConfigureTest::SetUp();
  ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/tls", &certificates_));
  for (auto* server : {&international_, &mainland_, &test_}) {
    *server = std::make_unique<localserver::LocalHttpServer>(certificates_.server);
    ASSERT_TRUE((*server)->Start());
  }
  PointServices(international_->BaseUrl(), mainland_->BaseUrl(), test_->BaseUrl(),
                certificates_.caCertificatePem);
}

void UpdateServerTest::TearDown() {
  for (auto* server : {&international_, &mainland_, &test_}) {
    if (*server) (*server)->Stop();
  }
  ConfigureTest::TearDown();
}

localserver::Handler UpdateServerTest::Answering(const std::string& body) {
  return [body](const localserver::Request& request) {
    if (request.Path() != "/queryDownloaderV2") return localserver::Reply::Status(404);
    return localserver::Reply::Status(200, body);
  };
}

std::string UpdateServerTest::HostOf(const localserver::LocalHttpServer& server) const {
  return "127.0.0.1:" + std::to_string(server.Port());
}

}  // namespace configure_test
