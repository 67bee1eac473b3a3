// Shared pieces of the task manager tests: a report SDK stand-in that keeps
// the events the manager sends, a log recorder, a sandbox with a fresh event
// logger per test, and a local download host that answers the length probe
// (HEAD) from a table of routes.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CDownloadTaskManager.h"
#include "LocalHttpServer.h"
#include "reportsdk/IWebLog.h"
#include "support/LogRecorder.h"
#include "support/RecordingWebLog.h"
#include "support/TestEnvironment.h"

namespace tasks_test {

using LogRecorder = testing_support::LogRecorder;
using RecordingWebLog = testing_support::RecordingWebLog;

// The remote file as the download host describes it to a HEAD request.
struct Route {
  int status = 200;
  localserver::Headers headers;
};
// A HEAD answer: 200 with "Content-Length: length" and the extra headers.
Route Length(int64_t length, localserver::Headers extra = {});
// A redirect to target (absolute or relative).
Route Redirect(const std::string& target, int status = 302);

// A local download host answering every request by its path from a table;
// unknown paths get 404.
class ProbeHost {
 public:
  ProbeHost();  // plain HTTP
  explicit ProbeHost(const localserver::TlsFiles& tls);
  bool Start() { return server_.Start(); }
  void Set(const std::string& path, Route route);
  std::string Url(const std::string& path) const { return server_.BaseUrl() + path; }
  // Requests received, as "METHOD path".
  std::vector<std::string> Requests() const;
  localserver::LocalHttpServer& Server() { return server_; }

 private:
  void Install();
  mutable std::mutex mutex_;
  std::map<std::string, Route> routes_;
  localserver::LocalHttpServer server_;
};

// Publishes the configuration's slicing values.
void SetSlicing(int32_t sliceNum, int32_t sliceSize);
// Lets the length cache answer for url, so that no request is made.
void KnowLength(const std::string& url, int64_t length);
// A kept task file of tests/fixtures/tasks.
std::string Fixture(const std::string& name);

// A sandbox, a fresh event logger recording into report_, and helpers for
// managers whose local file lives in the sandbox.
class TasksTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string LocalPath() const { return env_.Root() + "/drive/lumaclear_setup.exe"; }
  std::string TaskFilePath() const { return LocalPath() + ".xml"; }
  // A manager for url on the sandbox's local file, with no pause between
  // length queries.
  std::unique_ptr<CDownloadTaskManager> Manager(const std::string& url) const;
  void WriteTaskFile(const std::string& text) const;
  // Makes the local file size bytes long.
  void WriteLocalFile(int64_t size) const;
  bool LocalFileExists() const;
  // Labels of the "Other"/"FlowError" events.
  std::vector<std::string> FlowErrors() const { return report_.Labels("Other", "FlowError"); }

  testing_support::TestEnvironment env_;
  RecordingWebLog report_;
  LogRecorder log_;
};

// The address that the kept task files were downloaded from.
inline constexpr char kFixtureUrl[] = "https://cdn.example.invalid/files/lumaclear_setup.exe";
// The local path written into the kept task files.
inline constexpr char kFixtureLocalPath[] = "/data/MVDownloader/lumaclear/lumaclear_setup.exe";

}  // namespace tasks_test
