#include "SingleUserLog.h"

#include <cwchar>

#include "Logging.h"
#include "ProductConfig.h"
#include "platform/Drives.h"
#include "platform/LocalTime.h"
#include "platform/Paths.h"

CSingleUserLog* CSingleUserLog::GetInstance() {
  static CSingleUserLog instance;
  return &instance;
}

std::wstring CSingleUserLog::LocalTimestamp() {
  const platform::SystemTime now = platform::GetLocalTime();
  wchar_t text[32];
  std::swprintf(text, sizeof text / sizeof text[0], L"%.4d%.2d%.2d%.2d%.2d%.2d%.3d", now.year,
                now.month, now.day, now.hour, now.minute, now.second, now.milliseconds);
  return text;
}

bool CSingleUserLog::InitLogPath(const std::wstring& logName) {
  const std::wstring timestamp = LocalTimestamp();
  const std::wstring logFolder = platform::GetAppDataFolder() + L"/MVDownloader/logs/" + logName;
  platform::CreateDirectories(logFolder);
  const std::wstring logFile = logFolder + L"/" + logName + L"_" + timestamp + L".log";

  const std::wstring workOnLogDrive =
      platform::GetDriveRoot(logFolder) + L"MVDownloader/" + logName;
  const std::wstring workFolder = platform::MovePathToRoomiestDrive(workOnLogDrive);
  platform::CreateDirectories(workFolder);

  std::lock_guard<std::mutex> lock(mutex_);
  startTime_ = timestamp;
  logFolder_ = logFolder;
  logFilePath_ = logFile;
  workFolder_ = workFolder;
  return true;
}

std::wstring CSingleUserLog::GetLogFilePath() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logFilePath_;
}

std::wstring CSingleUserLog::GetLogFolder() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logFolder_;
}

std::wstring CSingleUserLog::GetWorkFolder() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return workFolder_;
}

std::wstring CSingleUserLog::GetStartTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return startTime_;
}

void CSingleUserLog::Init(int32_t downloaderId, int32_t siteId, const std::string& productVersion,
                          const std::string& productName, const std::string& startupUrl,
                          bool specialDownloader, int32_t mainPid) {
  std::lock_guard<std::mutex> lock(mutex_);
  downloaderId_ = downloaderId;
  siteId_ = siteId;
  productVersion_ = productVersion;
  productName_ = productName;
  startupUrl_ = startupUrl;
  specialDownloader_ = specialDownloader;
  mainPid_ = mainPid;
}

int CSingleUserLog::AddUserLog(const char* category, const char* action, const char* label) {
  if (ProductConfig::AutoRun()) return -99;
  LOG(INFO) << " AddUserLog not sent, no report object: " << (category ? category : "") << ", "
            << (action ? action : "") << ", " << (label ? label : "");
  return -1;
}

bool CSingleUserLog::WaitThreadForExit() {
  LOG(INFO) << "CSingleUserLog WaitThreadForExit";
  return true;
}
