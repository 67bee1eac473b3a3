#include "support/LogRecorder.h"

#include <algorithm>
#include <mutex>

#include "Logging.h"

namespace testing_support {
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

constexpr char kRecorderId[] = "testing_support_log_recorder";

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

size_t LogRecorder::Count(const std::string& line) const {
  const std::vector<std::string> lines = Lines();
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

size_t LogRecorder::CountPrefix(const std::string& prefix) const {
  const std::vector<std::string> lines = Lines();
  return static_cast<size_t>(
      std::count_if(lines.begin(), lines.end(),
                    [&prefix](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

size_t LogRecorder::Find(const std::string& line, size_t from) const {
  const std::vector<std::string> lines = Lines();
  for (size_t i = from; i < lines.size(); ++i)
    if (lines[i] == line) return i;
  return std::string::npos;
}

bool LogRecorder::ContainsRun(const std::vector<std::string>& run) const {
  const std::vector<std::string> lines = Lines();
  if (run.empty()) return true;
  return std::search(lines.begin(), lines.end(), run.begin(), run.end()) != lines.end();
}

void LogRecorder::Clear() {
  std::lock_guard<std::mutex> lock(LinesMutex());
  RecordedLines().clear();
}

}  // namespace testing_support
