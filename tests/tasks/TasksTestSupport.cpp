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

namespace {}  // namespace

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
