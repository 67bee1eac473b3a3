#include "DownLoadImpl.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "IDownloadProgress.h"
#include "Logging.h"
#include "MD5.h"
#include "ProductConfig.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/FileLock.h"
#include "platform/Network.h"
#include "platform/System.h"

namespace {

constexpr char kReportTag[] = "Download";

// Size of the file in bytes; 0 when it cannot be read.
int64_t LocalFileSize(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(std::filesystem::u8path(path), error);
  return error ? 0 : static_cast<int64_t>(size);
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

// One call of SuperDownloadFile: the download and what is learned watching it.
class Supervision {
 public:
  Supervision(const SupervisionSettings& settings, std::string url, std::string localPath,
              bool mainDownload)
      : settings_(settings),
        url_(std::move(url)),
        localPath_(std::move(localPath)),
        mainDownload_(mainDownload),
        cdnAddress_(ProductConfig::IsCdnOrServiceUrl(url_)),
        downloader_(url_, localPath_, localPath_ + ".xml",
                    settings.threadCount > 0 ? settings.threadCount : DefaultWorkerCount()) {
    if (settings.workerStopWaitMs > 0) downloader_.setWorkerStopWaitMs(settings.workerStopWaitMs);
  }

  int Run(std::string* cdnSummary);

 private:
  enum class PassEnd { kContinue, kDriverDone, kStalled, kCdnFailed, kNetworkDown };

  PassEnd Pass();
  void SampleSpeed(const DownloadInfo& info);
  int Abandon(int result, std::string* cdnSummary);
  int Finish(std::string* cdnSummary);
  void LogSpeeds(const DownloadInfo& info) const;

  const SupervisionSettings& settings_;
  const std::string url_;
  const std::string localPath_;
  const bool mainDownload_;
  const bool cdnAddress_;
  CDownloader downloader_;
  int64_t lastBytes_ = 0;
  uint32_t lastTick_ = 0;
  double maximumSpeed_ = 0.0;
  double minimumSpeed_ = 102400.0;
};

int Supervision::Run(std::string* cdnSummary) {
  const int prepared = downloader_.downloadInit(kReportTag, mainDownload_ ? 1 : 0);
  if (prepared != DOWNLOAD_OK) return Abandon(prepared, cdnSummary);
  uint64_t generation = downloader_.progressGeneration();
  downloader_.setState(DriverRunning);
  CSingleUserLog::GetInstance()->AddUserLog_funnelEx("Download", "SliceDownloading", "", "", false);
  lastTick_ = platform::GetTickCount();
  PassEnd end = platform::IsNetworkAlive() ? PassEnd::kContinue : PassEnd::kNetworkDown;
  while (end == PassEnd::kContinue) {
    end = Pass();
    // A spinning supervisor takes a whole processor from the workers; the
    // rules only change when the driver publishes a record, so wait for the
    // next one (or a few milliseconds, for the network check).
    if (end == PassEnd::kContinue)
      generation = downloader_.waitForProgress(generation, settings_.passWaitMs);
  }
  switch (end) {
    case PassEnd::kDriverDone:
      return Finish(cdnSummary);
    case PassEnd::kStalled:
      LOG(INFO) << "too long no speed:";
      return Abandon(DOWNLOAD_NO_SPEED, cdnSummary);
    case PassEnd::kCdnFailed:
      return Abandon(DOWNLOAD_CDN_FAILED, cdnSummary);
    default:
      break;
  }
  LOG(INFO) << "network is  no  alive";
  const int result = Abandon(DOWNLOAD_NETWORK_DOWN, cdnSummary);
  std::this_thread::sleep_for(std::chrono::milliseconds(settings_.networkDownPauseMs));
  return result;
}

Supervision::PassEnd Supervision::Pass() {
  const DownloadInfo info = downloader_.downloadInfo();
  if (info.downloaded > lastBytes_) {
    SampleSpeed(info);
  } else if (info.downloaded == lastBytes_ && static_cast<int32_t>(info.tick - lastTick_) >=
                                                  static_cast<int64_t>(settings_.stallLimitMs)) {
    return PassEnd::kStalled;
  }
  // Each slice is attempted once per download, so the failed attempts never
  // outnumber the slices and this cannot end a download as things stand; it
  // acts as soon as slices are retried within one download.
  const int32_t slices = downloader_.sliceCount();
  if (cdnAddress_ && info.requestTimes > 3 * slices) {
    LOG(INFO) << " ---cdn fail:" << info.requestTimes << " > 3 * " << slices;
    return PassEnd::kCdnFailed;
  }
  if (downloader_.state() == DriverStopping) return PassEnd::kDriverDone;
  if (mainDownload_) ReportDownloadProgress(info.downloaded, downloader_.contentLength());
  return platform::IsNetworkAlive() ? PassEnd::kContinue : PassEnd::kNetworkDown;
}

// Ticks wrap at 32 bits; a record older than the last sample is not "later".
void Supervision::SampleSpeed(const DownloadInfo& info) {
  const int32_t elapsedMs = static_cast<int32_t>(info.tick - lastTick_);
  if (elapsedMs > 0) {
    const double megabytes = static_cast<double>(info.downloaded - lastBytes_) / 1024.0 / 1024.0;
    const double speed = megabytes / (elapsedMs / 1000.0);
    if (speed > maximumSpeed_) maximumSpeed_ = speed;
    if (speed < minimumSpeed_) minimumSpeed_ = speed;
  }
  lastBytes_ = info.downloaded;
  lastTick_ = info.tick;
}

int Supervision::Abandon(int result, std::string* cdnSummary) {
  downloader_.setState(DriverStopping);
  downloader_.waitForDriver(settings_.driverWaitMs);
  *cdnSummary = downloader_.getCdnSummary();
  downloader_.closeDownload();
  return result;
}

int Supervision::Finish(std::string* cdnSummary) {
  downloader_.waitForDriver(settings_.driverWaitMs);
  const std::string summary = downloader_.getCdnSummary();
  downloader_.updateDownloadInfo();
  const DownloadInfo info = downloader_.downloadInfo();
  const int64_t length = downloader_.contentLength();
  const bool dispatched = downloader_.dispatched();
  downloader_.closeDownload();
  if (info.downloaded < length) {
    *cdnSummary = summary;
    LOG(INFO) << " lenth is error, less than remote file.";
    return DOWNLOAD_LENGTH_SHORT;
  }
  if (mainDownload_ && LocalFileSize(localPath_) < CDownLoadImpl::kMinimumMainFileBytes)
    return DOWNLOAD_FILE_TOO_SMALL;
  *cdnSummary = summary;
  if (!dispatched) {
    if (mainDownload_) ReportDownloadProgress(length, length);
    return DOWNLOAD_OK;
  }
  LogSpeeds(info);
  return DOWNLOAD_OK;
}

void Supervision::LogSpeeds(const DownloadInfo& info) const {
  const double average = static_cast<double>(info.averageSpeed()) / 1048576.0;
  const double truncated = std::trunc(average * 100.0) / 100.0;
  LOG(INFO) << " Average speed: " << Format("%.1fMB/s", truncated);
  LOG(INFO) << " Download speed range " << Format("%.1f MB/s", minimumSpeed_) << " - "
            << Format("%.1f MB/s", maximumSpeed_);
}

}  // namespace

int CDownLoadImpl::SuperDownloadFile(const std::wstring& url, const std::wstring& localPath,
                                     std::string& cdnSummary, bool mainDownload) const {
  auto supervision = std::make_unique<Supervision>(settings_, platform::ToUtf8(url),
                                                   platform::ToUtf8(localPath), mainDownload);
  return supervision->Run(&cdnSummary);
}

int CDownLoadImpl::checkMD5(std::wstring filePath, std::wstring expected, std::wstring alternative,
                            std::wstring version) {
  const std::string path = platform::ToUtf8(filePath);
  std::string digest = Md5OfFile(filePath);
  if (digest.empty()) {
    LOG(INFO) << " MD5: cannot read " << path << ", digested as empty input";
    digest = Md5OfText("");
  }
  LOG(INFO) << " MD5 of file " << path << " is " << digest;
  platform::WriteFileAtomically(filePath + L".db", platform::ToUtf8(version) + "###" + digest);
  const std::wstring wideDigest = platform::FromUtf8(digest);
  return (wideDigest == expected || wideDigest == alternative) ? 1 : 0;
}
