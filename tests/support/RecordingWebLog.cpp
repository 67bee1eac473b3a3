#include "support/RecordingWebLog.h"

#include <algorithm>

namespace testing_support {
namespace {

// The value of "&name=" in a GA4 query tail, up to the next "&".
std::string TailValue(const std::string& tail, const std::string& name) {
  const std::string key = "&" + name + "=";
  const size_t at = tail.find(key);
  if (at == std::string::npos) return "<missing>";
  const size_t from = at + key.size();
  return tail.substr(from, tail.find('&', from) - from);
}

}  // namespace

int RecordingWebLog::SendFunnel(const char* recordJson) {
  std::lock_guard<std::mutex> lock(mutex_);
  funnels_.push_back(recordJson != nullptr ? recordJson : "");
  return 0;
}

int RecordingWebLog::SendGa4(const char* queryTail) {
  std::lock_guard<std::mutex> lock(mutex_);
  ga4_.push_back(queryTail != nullptr ? queryTail : "");
  return 0;
}

std::vector<std::string> RecordingWebLog::Ga4Tails() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ga4_;
}

std::vector<std::string> RecordingWebLog::Funnels() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return funnels_;
}

std::vector<RecordedEvent> RecordingWebLog::Events() const {
  std::vector<RecordedEvent> events;
  for (const std::string& tail : Ga4Tails()) {
    events.push_back({TailValue(tail, "ep.mv_category"), TailValue(tail, "ep.mv_action"),
                      TailValue(tail, "ep.mv_label")});
  }
  return events;
}

std::vector<std::string> RecordingWebLog::Labels(const std::string& category,
                                                 const std::string& action) const {
  std::vector<std::string> labels;
  for (const RecordedEvent& event : Events())
    if (event.category == category && event.action == action) labels.push_back(event.label);
  return labels;
}

bool RecordingWebLog::HasEvent(const std::string& category, const std::string& action,
                               const std::string& label) const {
  const std::vector<RecordedEvent> events = Events();
  return std::find(events.begin(), events.end(), RecordedEvent{category, action, label}) !=
         events.end();
}

size_t RecordingWebLog::FunnelsWith(const std::string& text) const {
  const std::vector<std::string> records = Funnels();
  return static_cast<size_t>(
      std::count_if(records.begin(), records.end(),
                    [&text](const std::string& r) { return r.find(text) != std::string::npos; }));
}

}  // namespace testing_support
