// The install flow thread: from the download configuration to a verified
// product installer on disk (then on into install_ui_mainwnd_install.cpp).
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "CTaskManager.h"
#include "Common/DownloadSource.h"
#include "Common/FlowMessages.h"
#include "Common/install_ui_mainwnd.h"
#include "DownLoadImpl.h"
#include "ExceptionReport.h"
#include "FuntionImpl.h"
#include "Logging.h"
#include "platform/Encoding.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/System.h"

namespace {

CSingleUserLog* EventLog() { return CSingleUserLog::GetInstance(); }

void Event(const char* category, const char* action, const std::string& label) {
  EventLog()->AddUserLog(category, action, label.c_str());
}

// A step of one of the flow's core functions.
void Funnel(const char* coreFunction, int32_t step, const char* action) {
  EventLog()->AddUserLog_funnel("CoreFuncEvent", coreFunction, step, "Download", action, "null",
                                false, false);
}

void Pair(const char* category, const char* action, const std::string& key,
          const std::string& value) {
  EventLog()->AddUserLog_funnelEx(category, action, key, value, false);
}

int SecondsSince(uint32_t tick) {
  return static_cast<int>((platform::GetTickCount() - tick) / 1000);
}

std::string Decimal(int value) { return std::to_string(value); }

// The flow error a failed download round sends.
const char* FlowErrorOfRound(int result) {
  switch (result) {
    case DOWNLOAD_NETWORK_DOWN:
      return "DL010";
    case DOWNLOAD_NO_SPEED:
      return "DL011";
    case DOWNLOAD_NO_LENGTH:
      return "DL012";
    case DOWNLOAD_TOO_MANY_REDIRECTS:
      return "DL022";
    case DOWNLOAD_OPEN_FILE_FAILED:
      return "DL027";
    case DOWNLOAD_NO_THREADS:
      return "DL028";
    case DOWNLOAD_CDN_FAILED:
      return "DL029";
    case DOWNLOAD_LENGTH_SHORT:
      return "DL030";
    case DOWNLOAD_FILE_TOO_SMALL:
      return "DL031";
    default:
      return "DL017";
  }
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The package is a Windows installer unless the embedded address names
// another kind of file.
bool IsWindowsInstaller(const std::wstring& extraDownloadUrl) {
  return extraDownloadUrl.size() < 4 || EndsWith(extraDownloadUrl, L".exe");
}

bool DeleteIfPresent(const std::wstring& path) {
  return platform::PathExists(path) && platform::DeleteFile(path);
}

std::string Lowercase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

unsigned InstallUIMainWnd::InstallThreadFunc(void* window) {
  static_cast<InstallUIMainWnd*>(window)->RunInstallFlow();
  return 0;
}

bool InstallUIMainWnd::StartInstallThread() {
  platform::ThreadHandle& slot = threads_[kInstallThreadSlot];
  if (slot.IsSet()) slot.Wait(UINT32_MAX);  // Try again comes after the last message
  return slot.Start([this] { InstallThreadFunc(this); });
}

void InstallUIMainWnd::PostFlowMessage(uint32_t message, uintptr_t wParam) {
  if (flowSink_) {
    flowSink_(message, wParam);
    return;
  }
  PostMessage(message, wParam, 0);
}

std::wstring InstallUIMainWnd::checkRemotePath(std::vector<std::wstring> addresses, int /*mode*/) {
  std::wstring softwareName;
  configure_->Read([&softwareName](const CConfigure& c) { softwareName = c.Software_name; });
  return download_source::ChooseAddress(addresses, softwareName);
}

std::wstring InstallUIMainWnd::DownloadFolder() const { return EventLog()->GetWorkFolder() + L"/"; }

std::wstring InstallUIMainWnd::PackageFileName() const {
  const std::wstring extra = product_.Text(L"Extra_download_url");
  std::wstring name = extra.substr(extra.rfind(L'/') + 1);
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  std::wstring version;
  configure_->Read([&version](const CConfigure& c) { version = c.Software_version; });
  return name + L"_" + version + (IsWindowsInstaller(extra) ? L".exe" : L".apk");
}

void InstallUIMainWnd::ClearAPPData() {
  const std::wstring package = DownloadFolder() + PackageFileName();
  uint32_t error = 0;
  const bool deleted = platform::DeleteFile(package, &error);
  platform::DeleteFile(package + L".xml", &error);
  platform::DeleteFile(package + L".db", &error);
  LOG(INFO) << " Clear cache: " << (deleted ? 1 : 0) << ", " << error;
}

// The download ignores proxies; the settings are logged for whoever reads
// the log of a user behind one.
void InstallUIMainWnd::GetIEProxyConfig() {
  const std::string proxy = platform::environment::GetEnv("https_proxy");
  const std::string bypass = platform::environment::GetEnv("no_proxy");
  LOG(INFO) << " Get proxy: " << 1 << ", " << 0;
  if (!proxy.empty()) LOG(INFO) << " Proxy info2: " << proxy;
  if (!bypass.empty()) LOG(INFO) << " Proxy info3: " << bypass;
}

std::wstring InstallUIMainWnd::ChooseDownloadAddress() {
  std::vector<std::wstring> addresses;
  configure_->Read([&addresses](const CConfigure& c) { addresses = c.Download_url_list; });
  std::wstring address = checkRemotePath(addresses, 1);
  float version = 0;
  FuntionImpl::GetOSName(&version);
  address = download_source::CheckWindows78Link(address, version, product_);
  std::lock_guard<std::mutex> lock(stateMutex_);
  usedDownloadAddress_ = address;
  return address;
}

// A record file says which version and digest the package on disk has; a
// package of another version or digest is not resumed.
void InstallUIMainWnd::ReconcileEarlierDownload(const std::wstring& packagePath) {
  const std::wstring recordPath = packagePath + L".db";
  std::ifstream record(platform::ToUtf8(recordPath), std::ios::binary);
  if (!record.is_open()) return;
  std::string line;
  std::getline(record, line);
  record.close();
  if (line.size() > 259) line.resize(259);
  std::string version;
  std::string digest;
  const size_t split = line.find("###");
  if (split != std::string::npos) {
    version = line.substr(0, split);
    digest = Lowercase(line.substr(split + 3));
  }
  bool keep = false;
  configure_->Read([&](const CConfigure& c) {
    keep = version == platform::ToUtf8(c.Software_version) &&
           (digest == platform::ToUtf8(c.Md5) || digest == platform::ToUtf8(c.Md5_extra));
  });
  if (!keep) {
    DeleteIfPresent(packagePath);
    DeleteIfPresent(packagePath + L".xml");
  }
  platform::DeleteFile(recordPath);
}

void InstallUIMainWnd::RunInstallFlow() {
  const uint32_t flowStart = platform::GetTickCount();
  configure_->SyncGetCbsInfo([this] { return GetCurrentLanguage(); });

  const std::wstring address = ChooseDownloadAddress();
  if (address.size() < 5) {
    LOG(INFO) << "url is empty";
    Event("Other", "FlowError", "DL023");
    configure_->markNotLoaded();
    PostFlowMessage(WM_DOWNLOAD_FAILED, kNoDownloadAddress);
    return;
  }

  const uint32_t downloadStart = platform::GetTickCount();
  const double speedTestMs = std::floor((downloadStart - flowStart) * 100.0) / 100.0;
  LOG(INFO) << " Speed-Test Totally Take " << speedTestMs << " ms";
  GetIEProxyConfig();

  const std::wstring packagePath = DownloadFolder() + PackageFileName();
  ReconcileEarlierDownload(packagePath);
  RegisterDownloadProgress(this);
  int source = 0;
  configure_->Read([&source](const CConfigure& c) { source = c.source; });
  if (source == CConfigure::kSourceEmbedded) {
    LOG(INFO) << " Configure Load From File, clearAppData Before Download! ";
    ClearAPPData();
  }

  Event("Download", "3.Downloading...", AttemptLabel());
  Funnel("Downloading", 2, "Downloading");
  const int result = RunDownloadRounds(address, packagePath);

  Funnel("Downloading", 3, "DownFinsh");
  const int downloadSeconds = SecondsSince(downloadStart);
  Event("Other", "MDownloadTime", Decimal(downloadSeconds));
  Funnel("Downloading", 0, "CoreFuncEnd");
  // A download of under a second has no meaningful rate: report the bytes
  // as if it took one second rather than an infinite figure.
  char speed[64];
  const double bytes = static_cast<double>(TotalPackageSize());
  std::snprintf(speed, sizeof speed, "%.2fMB/s",
                bytes / static_cast<double>(downloadSeconds > 0 ? downloadSeconds : 1) / 1048576.0);
  Event("Other", "DownloadSpeed", speed);
  const std::string downloadTime = Decimal(SecondsSince(downloadStart));
  Event("Other", "DownloadTime", downloadTime);
  LOG(INFO) << " DownloadTime total use " << downloadTime;
  Pair("RunningTime", "DownloadDuration", "DownloadCompleted",
       Decimal(SecondsSince(installPressTick_.load())));
  downloadEndTick_.store(platform::GetTickCount());

  if (result != DOWNLOAD_OK) {
    char code[32];
    std::snprintf(code, sizeof code, "error_%d", result);
    Event("Other", "DownErrorCode", code);
    PostFlowMessage(WM_DOWNLOAD_FAILED, static_cast<uintptr_t>(result));
    return;
  }

  const std::string addressType =
      download_source::ClassOfHost(address) == download_source::kMainlandCdnHost
          ? "Extra_download_url"
          : "Download_url";
  Pair("Download", "DownloadSuccess", "", "");
  EventLog()->AddUserLog_funnelEx("Download", "MDownSuccess",
                                  {{"Download address", addressType}, {"AddressType", "NO"}}, false,
                                  false);

  std::wstring extra;
  configure_->Read([&extra](const CConfigure& c) { extra = c.Extra_download_url; });
  if (!IsWindowsInstaller(extra)) {
    PostFlowMessage(WM_DOWNLOAD_FINISHED);
    LOG(INFO) << "APP DownloaderSucceed";
    return;
  }

  if (!Verify(packagePath)) return;
  verifyOver_.store(1);
  Event("Download", "4.DownFinsh", AttemptLabel());
  InstallAndLaunch(packagePath);
}

int InstallUIMainWnd::RunDownloadRounds(const std::wstring& address,
                                        const std::wstring& packagePath) {
  const std::string addressType =
      download_source::ClassOfHost(address) == download_source::kMainlandCdnHost
          ? "Extra_download_url"
          : "Download_url";
  int result = 0;
  for (int round = 1; round <= kDownloadRounds; ++round) {
    char typeText[64];
    std::snprintf(typeText, sizeof typeText, "%s-%d", addressType.c_str(), round);
    Pair("Download", "Use download address", "Use download address Type", typeText);
    Pair("Download", "SliceDownloadStart", "", "");
    LOG(INFO) << " Tasks info, round begin, current = " << round << ", total = " << kDownloadRounds;
    std::string cdnSummary;
    result = CDownLoadImpl(supervision_).SuperDownloadFile(address, packagePath, cdnSummary, true);
    LOG(INFO) << " Tasks info, round end, current = " << round << ", total = " << kDownloadRounds
              << ", result = " << result;
    if (!cdnSummary.empty()) Event("Other", "CDNInfor", cdnSummary);
    if (result == DOWNLOAD_OK) {
      // "Success", a full-width comma, then the number of retries.
      if (round > 1) LOG(INFO) << "Success\xEF\xBC\x8CThe Retry Frequency is: " << round - 1;
      break;
    }
    Event("Other", "FlowError", FlowErrorOfRound(result));
    if (result == DOWNLOAD_TOO_MANY_REDIRECTS) {
      int32_t pid = 0;
      configure_->Read([&pid](const CConfigure& c) { pid = c.Downloader_id; });
      const ExceptionReport::Reply reply = ExceptionReport::SendTooManyRedirects(
          pid, configure_->getRequestUrl(), platform::ToUtf8(address));
      LOG(INFO) << " Send error report1, response is " << reply.response << ", return "
                << reply.result;
    }
    LOG(INFO) << " The Retry Frequency is: " << (round == kDownloadRounds ? 11 : round - 1);
  }
  return result;
}

bool InstallUIMainWnd::Verify(const std::wstring& packagePath) {
  const uint32_t verifyStart = platform::GetTickCount();
  verifyStartTick_.store(verifyStart);
  verifyOver_.store(0);
  PostFlowMessage(WM_VERIFY_STARTED);
  Event("Download", "Md5CheckStart", "");
  Funnel("Md5Check", 0, "CoreFuncStart");
  Funnel("Md5Check", 1, "Md5CheckStart");

  int source = 0;
  std::wstring md5;
  std::wstring md5Extra;
  std::wstring version;
  configure_->Read([&](const CConfigure& c) {
    source = c.source;
    md5 = c.Md5;
    md5Extra = c.Md5_extra;
    version = c.Software_version;
  });
  // An embedded configuration carries no digest of the current build.
  const bool md5Valid = source == CConfigure::kSourceEmbedded ||
                        CDownLoadImpl::checkMD5(packagePath, md5, md5Extra, version) == 1;
  LOG(INFO) << " after md5 ";
  const bool signatureValid = FuntionImpl::VerifyEmbeddedSignature(packagePath);

  const int seconds = SecondsSince(verifyStart);
  Event("Other", "MMD5CheckTime", Decimal(seconds));
  Funnel("Md5Check", 2, "Md5CheckFinsh");
  const int secondsAgain = SecondsSince(verifyStart);
  Event("Other", "MD5CheckTime", Decimal(secondsAgain));
  Funnel("Md5Check", 0, "CoreFuncEnd");
  Pair("RunningTime", "VerificationDuration", "VerificationDurationPar", Decimal(secondsAgain));
  Event("Download", "Md5CheckFinsh", "");

  ExceptionReport::VerificationFailure failure;
  if (ExceptionReport::VerificationFailureOf(md5Valid, signatureValid, &failure)) {
    const char* code = failure == ExceptionReport::VerificationFailure::kMd5AndSignature ? "DL015"
                       : failure == ExceptionReport::VerificationFailure::kMd5           ? "DL013"
                                                                                         : "DL014";
    Event("Other", "FlowError", code);
    const int32_t pid = product_.Int(L"Downloader_id");
    const ExceptionReport::Reply reply = ExceptionReport::SendVerificationFailure(
        failure, pid, source, configure_->getRequestUrl(), platform::ToUtf8(UsedDownloadAddress()));
    LOG(INFO) << " Send error report2, response is " << reply.response << ", return "
              << reply.result;
  }
  if (!signatureValid) {
    verifyOver_.store(1);
    PostFlowMessage(WM_MD5_FAILED);
    return false;
  }
  return true;
}
