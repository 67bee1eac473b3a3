// IWebLog: the report SDK's interface, reached only through the factory pair
// GetReportObj/DestroyReportObj that the executable exports with C linkage.
//
// Every operation may be called from any thread and returns at once: records
// are persisted and queued, and one sender thread of the SDK posts them. Texts
// are narrow, null-terminated UTF-8; a null pointer counts as "".
#pragma once
#include <cstdint>

class IWebLog {
 public:
  // type 1 product, 2 downloader. Creates the SDK folders, opens its log,
  // starts the sender and replays the backlog. 0. In a "-sendrestlogs" run it
  // drains the backlog and ends the process instead of returning.
  virtual int Init(int32_t type, int32_t mainPid, int32_t parentPid, const char* email,
                   const char* phone, const char* product, const char* productVersion,
                   const char* userId) = 0;
  virtual int SetDownloaderInfo(int32_t downloaderId, int32_t kitType, const char* toolsLanguage,
                                const char* toolsVersion) = 0;
  virtual int SetExtraCommon(const char* extraCommonJson, const char* userId,
                             const char* toolsLanguage, const char* productVersion,
                             int32_t parentPid) = 0;
  // 0 queued, -1 refused as a repeat, 157 to 166 invalid record.
  virtual int SendFunnel(const char* recordJson) = 0;
  // 0 queued, -1 refused as a repeat.
  virtual int SendGa4(const char* queryTail) = 0;
  virtual ~IWebLog() = default;
};

extern "C" {
// The process's report object, created on the first call. Any thread.
IWebLog* GetReportObj();
// Destroys the report object, if any, and starts the hidden "-sendrestlogs"
// run of the program that delivers what is left.
void DestroyReportObj();
}
