#include "reportsdk/WebLog.h"

#include <curl/curl.h>

#include <chrono>
#include <string>

#include "DeploymentValues.h"
#include "reportsdk/FunnelRecord.h"
#include "reportsdk/RecordKey.h"

namespace reportsdk {
namespace {

std::string Text(const char* text) { return text == nullptr ? std::string() : text; }

}  // namespace

WebLog::WebLog() : management_(&CManagement::Instance()), sender_(nullptr) {}

WebLog::WebLog(CManagement* management, CNetworkCommunicate* sender)
    : management_(management), sender_(sender) {}

CNetworkCommunicate& WebLog::Sender() {
  return sender_ != nullptr ? *sender_ : CNetworkCommunicate::Instance();
}

int64_t WebLog::Now() const { return clock_ ? clock_() : LocalTimestampMs(); }

int WebLog::Init(int32_t type, int32_t mainPid, int32_t parentPid, const char* email,
                 const char* phone, const char* product, const char* productVersion,
                 const char* userId) {
  management_->Initialise(type, mainPid, parentPid, Text(email), Text(phone), Text(product),
                          Text(productVersion), Text(userId));
  management_->Log("SDK init ok, version 1.0.0.6, type %d, main_pid %d, %s %s, with curl %s", type,
                   mainPid, Text(product).c_str(), Text(productVersion).c_str(),
                   curl_version_info(CURLVERSION_NOW)->version);
  Sender();
  const bool drainRun = management_->CommandLine().find("-sendrestlogs") != std::string::npos;
  ReplayBacklog(drainRun);
  if (drainRun) DrainAndExit();
  return 0;
}

void WebLog::ReplayBacklog(bool drainRun) {
  CNetworkCommunicate& sender = Sender();
  // Only the process that owns the backlog replays it, so that no record is
  // sent by two runs. A drain run waits for an ending run to let go.
  const bool owner =
      drainRun ? sender.WaitForOwnership(sender.Timing().drainLimitMs) : sender.TakeOwnership();
  if (!owner) {
    management_->Log("Read history: skipped, another run sends the backlog");
    return;
  }
  const std::vector<BacklogEntry> entries = Backlog(management_->BacklogPath()).Read();
  int replayed = 0;
  for (const BacklogEntry& entry : entries) {
    if (entry.status == 2) continue;
    sender.Offer(entry.key, entry.content, true, false);
    ++replayed;
  }
  management_->Log("Read history: %d/%d", replayed, static_cast<int>(entries.size()));
}

void WebLog::DrainAndExit() {
  CNetworkCommunicate& sender = Sender();
  management_->Log("Send rest logs, wait begin");
  const SenderTiming& timing = sender.Timing();
  if (!sender.WaitUntilDelivered(timing.drainPollMs, timing.drainLimitMs)) {
    // Undeliverable now: the backlog keeps the rest for the next run rather
    // than a hidden process retrying for ever.
    management_->Log("Send rest logs, gave up after %d ms, %d left", timing.drainLimitMs,
                     static_cast<int>(sender.Pending()));
  }
  management_->Log("Send rest logs, wait end");
  management_->ExitProcess(0);
}

int WebLog::SetDownloaderInfo(int32_t downloaderId, int32_t kitType, const char* toolsLanguage,
                              const char* toolsVersion) {
  management_->SetDownloaderInfo(downloaderId, kitType, Text(toolsLanguage), Text(toolsVersion));
  return 0;
}

int WebLog::SetExtraCommon(const char* extraCommonJson, const char* userId,
                           const char* toolsLanguage, const char* productVersion,
                           int32_t parentPid) {
  management_->SetExtraCommon(Text(extraCommonJson), Text(userId), Text(toolsLanguage),
                              Text(productVersion), parentPid);
  return 0;
}

int WebLog::SendFunnel(const char* recordJson) {
  const int64_t timestamp = Now();
  const Json::Value record =
      BuildFunnelRecord(Text(recordJson), management_->Snapshot(), timestamp);
  const int invalid = ValidateFunnelRecord(record);
  if (invalid != 0) return invalid;
  const std::string key = MakeRecordKey(2, timestamp, ActionMember(record, "event_category"),
                                        ActionMember(record, "event_action"));
  return Sender().Offer(key, StyledText(record), false, true);
}

int WebLog::SendGa4(const char* queryTail) {
  const int64_t timestamp = Now();
  const std::string clientId =
      Ga4ClientId(management_->VolumeSerial(), management_->Snapshot().mac);
  const std::string encoded = PercentEncodeTail(Text(queryTail));
  const std::string category = TextBetween(encoded, "&ep.mv_category=", "&ep.mv_action=");
  const std::string action = TextBetween(encoded, "&ep.mv_action=", "&ep.mv_label=");
  const std::string url =
      deployment::BaseUrl(deployment::Service::kGa4) + "/g/collect?v=2&cid=" + clientId + encoded;
  return Sender().Offer(MakeRecordKey(1, timestamp, category, action), url, false, true);
}

}  // namespace reportsdk
