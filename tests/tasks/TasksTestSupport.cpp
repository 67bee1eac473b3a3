#include "TasksTestSupport.h"

#include <curl/curl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "DeploymentValues.h"
#include "Logging.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"

namespace tasks_test {

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

constexpr char kRecorderId[] = "tasks_test_recorder";

}  // namespace

void PrintTo(const Event& event, std::ostream* out) {
  *out << "{" << event.category << ", " << event.action << ", " << event.label << "}";
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

std::vector<Event> RecordingWebLog::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Event> events;
  for (const std::string& tail : ga4_) {
    events.push_back({TailValue(tail, "ep.mv_category"), TailValue(tail, "ep.mv_action"),
                      TailValue(tail, "ep.mv_label")});
  }
  return events;
}

std::vector<std::string> RecordingWebLog::Labels(const std::string& category,
                                                 const std::string& action) const {
  std::vector<std::string> labels;
  for (const Event& event : Events()) {
    if (event.category == category && event.action == action) labels.push_back(event.label);
  }
  return labels;
}

size_t RecordingWebLog::FunnelCount(const std::string& action) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string member = "\"" + action + "\"";
  return static_cast<size_t>(std::count_if(funnel_.begin(), funnel_.end(), [&](const auto& text) {
    return text.find(member) != std::string::npos;
  }));
}

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

bool LogRecorder::Contains(const std::string& line) const {
  const std::vector<std::string> lines = Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

Route Length(int64_t length, localserver::Headers extra) {
  Route route;
  route.headers = {{"Content-Length", std::to_string(length)}};
  route.headers.insert(route.headers.end(), extra.begin(), extra.end());
  return route;
}

Route Redirect(const std::string& target, int status) {
  Route route;
  route.status = status;
  route.headers = {{"Location", target}, {"Content-Length", "0"}};
  return route;
}

ProbeHost::ProbeHost() { Install(); }

ProbeHost::ProbeHost(const localserver::TlsFiles& tls) : server_(tls) { Install(); }

void ProbeHost::Install() {
  server_.SetHandler([this](const localserver::Request& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = routes_.find(request.Path());
    localserver::Reply reply;
    if (found == routes_.end()) {
      reply.status = 404;
      reply.headers = {{"Content-Length", "0"}};
      return reply;
    }
    reply.status = found->second.status;
    reply.headers = found->second.headers;
    return reply;
  });
}

void ProbeHost::Set(const std::string& path, Route route) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(route);
}

std::vector<std::string> ProbeHost::Requests() const {
  std::vector<std::string> requests;
  for (const localserver::Request& request : server_.Requests()) {
    requests.push_back(request.method + " " + request.Path());
  }
  return requests;
}

void TasksTest::SetUp() {
  static const bool curlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  ASSERT_TRUE(curlReady);
  std::filesystem::create_directories(env_.Root() + "/program");
  std::filesystem::create_directories(env_.Root() + "/drive");
  platform::SetModuleFilePathForTesting(
      platform::FromUtf8(env_.Root() + "/program/vornik-lumaclear-setup"));
  deployment::ReloadForTesting();
  CSingleUserLog::GetInstance()->SetReportObjForTesting(&report_);
  CSingleUserLog::GetInstance()->ResetForTesting();
}

void TasksTest::TearDown() {
  CSingleUserLog::GetInstance()->SetReportObjForTesting(nullptr);
  CSingleUserLog::GetInstance()->ResetForTesting();
  platform::SetModuleFilePathForTesting(L"");
  deployment::ReloadForTesting();
}

std::unique_ptr<CDownloadTaskManager> TasksTest::Manager(const std::string& url) const {
  auto manager = std::make_unique<CDownloadTaskManager>(url, LocalPath(), TaskFilePath());
  manager->setQueryPauseForTesting(std::chrono::milliseconds(0));
  return manager;
}

void SetSlicing(int32_t sliceNum, int32_t sliceSize) {
  CSingleUserLog::GetInstance()->SetDownloadSettings(0, sliceNum, sliceSize, 0);
}

void KnowLength(const std::string& url, int64_t length) {
  CSingleUserLog::GetInstance()->SetCacheValue(url, length);
}

std::string Fixture(const std::string& name) {
  const std::string path = std::string(VORNIK_TEST_FIXTURES) + "/tasks/" + name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.is_open()) << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void TasksTest::WriteTaskFile(const std::string& text) const {
  testing_support::WriteFile(TaskFilePath(), text);
}

void TasksTest::WriteLocalFile(int64_t size) const {
  { std::ofstream(LocalPath(), std::ios::binary | std::ios::trunc); }
  std::filesystem::resize_file(LocalPath(), static_cast<uintmax_t>(size));
}

bool TasksTest::LocalFileExists() const { return std::filesystem::exists(LocalPath()); }

}  // namespace tasks_test
