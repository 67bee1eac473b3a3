// A report SDK stand-in that keeps what the event logger sends: GA4 query
// tails and funnel records. Install it with CSingleUserLog's test hook. Any
// thread.
#pragma once
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "reportsdk/IWebLog.h"

namespace testing_support {

struct RecordedEvent {
  std::string category;
  std::string action;
  std::string label;
  bool operator==(const RecordedEvent& other) const {
    return category == other.category && action == other.action && label == other.label;
  }
};

class RecordingWebLog : public IWebLog {
 public:
  int Init(int32_t, int32_t, int32_t, const char*, const char*, const char*, const char*,
           const char*) override {
    return 0;
  }
  int SetDownloaderInfo(int32_t, int32_t, const char*, const char*) override { return 0; }
  int SetExtraCommon(const char*, const char*, const char*, const char*, int32_t) override {
    return 0;
  }
  int SendFunnel(const char* recordJson) override;
  int SendGa4(const char* queryTail) override;

  std::vector<std::string> Ga4Tails() const;
  std::vector<std::string> Funnels() const;
  // The GA4 events in order ("<missing>" for a part a tail lacks).
  std::vector<RecordedEvent> Events() const;
  // Labels of the events of one category and action, in order.
  std::vector<std::string> Labels(const std::string& category, const std::string& action) const;
  bool HasEvent(const std::string& category, const std::string& action,
                const std::string& label) const;
  // Funnel records containing text.
  size_t FunnelsWith(const std::string& text) const;
  // Funnel records whose event action is action.
  size_t FunnelCount(const std::string& action) const { return FunnelsWith("\"" + action + "\""); }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> ga4_;
  std::vector<std::string> funnels_;
};

}  // namespace testing_support
