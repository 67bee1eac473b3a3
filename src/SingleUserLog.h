// CSingleUserLog: the process-wide event logger, and the owner of the run's
// log folder, log file, work folder and start timestamp.
//
// Built on first use by GetInstance and destroyed at exit. InitLogPath and
// Init are called once by the entry on the first thread before any worker
// thread exists; afterwards the path getters may be called from any thread.
// Events leave the process through the report SDK object; until one is
// attached every send answers -1 ("no report SDK object").
#pragma once
#include <cstdint>
#include <mutex>
#include <string>

class CSingleUserLog {
 public:
  static CSingleUserLog* GetInstance();

  // Derives and creates, from the log name:
  //   log folder   <APPDATA>/MVDownloader/logs/<name>
  //   log file     <log folder>/<name>_<17-digit local time>.log
  //   work folder  <root of the fixed drive with most room>/MVDownloader/<name>
  // Always true: a folder that cannot be created shows up later as a failed
  // write in the Part that needs it.
  bool InitLogPath(const std::wstring& logName);
  std::wstring GetLogFilePath() const;
  std::wstring GetLogFolder() const;
  std::wstring GetWorkFolder() const;
  std::wstring GetStartTime() const;

  void Init(int32_t downloaderId, int32_t siteId, const std::string& productVersion,
            const std::string& productName, const std::string& startupUrl, bool specialDownloader,
            int32_t mainPid);

  // One event. 0 sent, -1 no report SDK object, -99 sending switched off by AutoRun.
  int AddUserLog(const char* category, const char* action, const char* label);

  // The logger's last call at exit; logs and returns at once.
  bool WaitThreadForExit();

  // The 17-digit timestamp "%.4d%.2d%.2d%.2d%.2d%.2d%.3d" of the local time now.
  static std::wstring LocalTimestamp();

 private:
  CSingleUserLog() = default;

  mutable std::mutex mutex_;
  std::wstring logFilePath_;
  std::wstring logFolder_;
  std::wstring workFolder_;
  std::wstring startTime_;

  int32_t downloaderId_ = 0;
  int32_t siteId_ = 0;
  int32_t mainPid_ = 0;
  bool specialDownloader_ = false;
  std::string productVersion_;
  std::string productName_;
  std::string startupUrl_;
};
