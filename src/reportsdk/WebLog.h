// WebLog: the report SDK object behind IWebLog. It holds no state of its own:
// it works on a CManagement (the SDK's common state) and a CNetworkCommunicate
// (the sender), by default the process's singletons, the sender being built
// at the first Init. Tests give their own pair. Any thread.
#pragma once
#include <cstdint>
#include <functional>

#include "reportsdk/CManagement.h"
#include "reportsdk/CNetworkCommunicate.h"
#include "reportsdk/IWebLog.h"

namespace reportsdk {

class WebLog : public IWebLog {
 public:
  WebLog();
  WebLog(CManagement* management, CNetworkCommunicate* sender);

  int Init(int32_t type, int32_t mainPid, int32_t parentPid, const char* email, const char* phone,
           const char* product, const char* productVersion, const char* userId) override;
  int SetDownloaderInfo(int32_t downloaderId, int32_t kitType, const char* toolsLanguage,
                        const char* toolsVersion) override;
  int SetExtraCommon(const char* extraCommonJson, const char* userId, const char* toolsLanguage,
                     const char* productVersion, int32_t parentPid) override;
  int SendFunnel(const char* recordJson) override;
  int SendGa4(const char* queryTail) override;

  // Tests: the clock that stamps records (milliseconds, see RecordKey.h).
  void SetClockForTesting(std::function<int64_t()> clock) { clock_ = std::move(clock); }

 private:
  CNetworkCommunicate& Sender();
  void ReplayBacklog(bool drainRun);
  void DrainAndExit();
  int64_t Now() const;

  CManagement* management_;
  CNetworkCommunicate* sender_;
  std::function<int64_t()> clock_;
};

}  // namespace reportsdk
