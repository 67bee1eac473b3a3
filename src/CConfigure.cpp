#include "CConfigure.h"

#include <curl/curl.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>

#include "CLibcurlTool.h"
#include "DeploymentValues.h"
#include "FuntionImpl.h"
#include "Logging.h"
#include "ProductConfig.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/System.h"

namespace {

constexpr char kOpenTag[] = "<Downloader>";
constexpr char kCloseTag[] = "</Downloader>";
constexpr size_t kOpenTagLength = sizeof kOpenTag - 1;
constexpr char kAbandonLine[] = " GetDownloaderInfo(Async) abandon";

// Where one try goes: the base URL and the label of the log line.
struct Region {
  std::string baseUrl;
  const char* label;
};

Region RegionOfTry(bool mainland) {
  if (ProductConfig::TestEnv()) {
    return {deployment::BaseUrl(deployment::Service::kUpdateServerTest), "test"};
  }
  if (mainland) return {deployment::BaseUrl(deployment::Service::kUpdateServerCn), "cn"};
  return {deployment::BaseUrl(deployment::Service::kUpdateServer), "com"};
}

// "host[:port]" of a base URL "scheme://host[:port]".
std::string HostOf(const std::string& baseUrl) {
  const size_t scheme = baseUrl.find("://");
  return scheme == std::string::npos ? baseUrl : baseUrl.substr(scheme + 3);
}

std::string FormatRequestUrl(const std::string& baseUrl, int32_t languageId, int32_t downloaderId,
                             int32_t siteId, const char* suffix) {
  char buffer[CConfigure::kRequestUrlBufferSize];
  std::snprintf(buffer, sizeof buffer,
                "%s/queryDownloaderV2?LanguageId=%d&SoftWareID=%d&SiteID=%d%s", baseUrl.c_str(),
                languageId, downloaderId, siteId, suffix);
  return buffer;
}

int FetchWithCurl(const std::string& url, std::string* body) {
  CLibcurlTool tool;
  return tool.httpGet(url, body);
}

std::wstring WithoutLineBreaks(std::wstring text) {
  text.erase(
      std::remove_if(text.begin(), text.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }),
      text.end());
  return text;
}

// The element's text; an element without a text child reads as empty.
std::string TextOf(const tinyxml2::XMLElement& element) {
  const char* text = element.GetText();
  return text ? text : "";
}

// The element's integer text within [low, high]; false (nothing stored) for a
// missing, non-integer or out-of-range text.
bool IntegerOf(const tinyxml2::XMLElement& element, int64_t low, int64_t high, int64_t* value) {
  int64_t parsed = 0;
  if (element.QueryInt64Text(&parsed) != tinyxml2::XML_SUCCESS) return false;
  if (parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

struct IntField {
  const char* name;
  int32_t CConfigure::*field;
  bool published;
};

constexpr IntField kIntFields[] = {
    {"Downloader_id", &CConfigure::Downloader_id, false},
    {"Software_id", &CConfigure::Software_id, false},
    {"Site_id", &CConfigure::Site_id, false},
    {"Downloader_type", &CConfigure::Downloader_type, false},
    {"Downloader_config", &CConfigure::Downloader_config, true},
    {"Slice_num", &CConfigure::Slice_num, true},
    {"Slice_size", &CConfigure::Slice_size, true},
    {"Additional_time", &CConfigure::Additional_time, true},
};

struct TextField {
  const char* name;
  std::wstring CConfigure::*field;
  bool dropLineBreaks;
};

constexpr TextField kTextFields[] = {
    {"Software_version", &CConfigure::Software_version, false},
    {"Install_url", &CConfigure::Install_url, false},
    {"Banner_url", &CConfigure::Banner_url, false},
    {"Licensefile_url", &CConfigure::Licensefile_url, false},
    {"Md5", &CConfigure::Md5, false},
    {"Cnet_download_url", &CConfigure::Cnet_download_url, false},
    {"Md5_extra", &CConfigure::Md5_extra, false},
    {"Process_name", &CConfigure::Process_name, true},
    {"Download_url", &CConfigure::Download_url, true},
    {"Extra_download_url", &CConfigure::Extra_download_url, true},
};

}  // namespace

CConfigure::CConfigure(int32_t downloaderId, int32_t languageId, int32_t siteId)
    : Downloader_id(downloaderId),
      Site_id(siteId),
      Language_id(languageId),
      embedded_(ReadEmbeddedValues(nullptr)),
      fetcher_(FetchWithCurl) {}

// ---- Record ---------------------------------------------------------------------

void CConfigure::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  resetLocked();
}

void CConfigure::resetLocked() {
  state = kStateNotLoaded;
  source = kSourceNothing;
  Filesize = 0;
  Software_id = 0;
  Software_name.clear();
  Software_version.clear();
  Download_url.clear();
  Md5.clear();
  Process_name.clear();
  Install_url.clear();
  Banner_url.clear();
  Licensefile_url.clear();
  Download_url_list.clear();
}

std::string CConfigure::getRequestUrl() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requestUrl_;
}

void CConfigure::Read(const std::function<void(const CConfigure&)>& reader) const {
  std::lock_guard<std::mutex> lock(mutex_);
  reader(*this);
}

void CConfigure::markNotLoaded() {
  std::lock_guard<std::mutex> lock(mutex_);
  state = kStateNotLoaded;
}

void CConfigure::appendCandidatesLocked() {
  for (const std::wstring* url : {&Download_url, &Extra_download_url}) {
    if (url->empty() || ProductConfig::IsCdnOrServiceUrl(*url)) continue;
    // A parse repeated after markNotLoaded must not list an address twice.
    if (std::find(Download_url_list.begin(), Download_url_list.end(), *url) !=
        Download_url_list.end()) {
      continue;
    }
    Download_url_list.push_back(*url);
  }
}

void CConfigure::publishSettingsLocked() const {
  CSingleUserLog::GetInstance()->SetDownloadSettings(Downloader_config, Slice_num, Slice_size,
                                                     Additional_time);
}

// ---- Fetch -------------------------------------------------------------------------

int CConfigure::getDownloadInfoXml(bool sync, bool mainland) {
  int32_t languageId = 0, downloaderId = 0, siteId = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (rawReply_ && !rawReply_->empty()) return 0;
    languageId = Language_id;
    downloaderId = Downloader_id;
    siteId = Site_id;
  }
  const uint32_t startTick = platform::GetTickCount();
  float versionNumber = 0.0f;
  const std::string osName = FuntionImpl::GetOSName(&versionNumber);
  const char* suffix = versionNumber < 10.0f ? "&package_type=5" : "";
  const Region region = RegionOfTry(mainland);
  const std::string url =
      FormatRequestUrl(region.baseUrl, languageId, downloaderId, siteId, suffix);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requestUrl_ = url;
  }

  std::string body;
  const int result = fetcher_(url, &body);
  CSingleUserLog* logger = CSingleUserLog::GetInstance();
  if (result == CURLE_COULDNT_RESOLVE_HOST) logger->AddUserLog("Other", "FlowError", "DL003");
  if (result == CURLE_OPERATION_TIMEDOUT) logger->AddUserLog("Other", "FlowError", "DL002");
  LOG(INFO) << " GetCbsInfo New interface V2(" << (sync ? "Sync " : "Async ") << region.label
            << "): " << result << ", " << body.size() << ", " << osName << ", " << versionNumber;

  char seconds[16];
  std::snprintf(seconds, sizeof seconds, "%d",
                static_cast<int>((platform::GetTickCount() - startTick) / 1000));
  logger->AddUserLog("Other", sync ? "SyncGetCbsTime" : "AsyncGetCbsTime", seconds);

  if (!storeReplyOf(body)) return 0;
  const deployment::Service named =
      mainland ? deployment::Service::kUpdateServerCn : deployment::Service::kUpdateServer;
  logger->AddUserLog_funnelEx("Download", "Get download configuration",
                              {{"Download configurationType", "Success"},
                               {"Configuration URL", HostOf(deployment::BaseUrl(named))}},
                              false, false);
  return 1;
}

bool CConfigure::storeReplyOf(const std::string& body) {
  const size_t open = body.find(kOpenTag);
  if (open == std::string::npos) return false;
  const size_t close = body.find(kCloseTag, open + kOpenTagLength);
  if (close == std::string::npos) return false;

  std::lock_guard<std::mutex> lock(mutex_);
  if (rawReply_) {
    LOG(INFO) << " GetCbsInfo reply kept: another fetch stored one first";
    return false;
  }
  rawReply_ = body.substr(open, close + sizeof kCloseTag - 1 - open);
  return true;
}

// ---- Parse ---------------------------------------------------------------------------

bool CConfigure::parseDownloadInfoXml() {
  std::lock_guard<std::mutex> lock(mutex_);
  return parseLocked();
}

bool CConfigure::parseLocked() {
  tinyxml2::XMLDocument document;
  if (!rawReply_ || document.Parse(rawReply_->data(), rawReply_->size()) != tinyxml2::XML_SUCCESS ||
      document.FirstChildElement() == nullptr) {
    state = kStateNotLoaded;
    return false;
  }
  const tinyxml2::XMLElement* root = document.FirstChildElement();
  for (const tinyxml2::XMLElement* element = root->FirstChildElement(); element != nullptr;
       element = element->NextSiblingElement()) {
    const std::string name = element->Name();
    int64_t number = 0;
    for (const IntField& entry : kIntFields) {
      if (name != entry.name) continue;
      if (IntegerOf(*element, std::numeric_limits<int32_t>::min(),
                    std::numeric_limits<int32_t>::max(), &number)) {
        this->*entry.field = static_cast<int32_t>(number);
        if (entry.published) publishSettingsLocked();
      }
    }
    for (const TextField& entry : kTextFields) {
      if (name != entry.name) continue;
      const std::wstring text = platform::FromUtf8(TextOf(*element));
      this->*entry.field = entry.dropLineBreaks ? WithoutLineBreaks(text) : text;
    }
    if (name == "Filesize" && IntegerOf(*element, std::numeric_limits<int64_t>::min(),
                                        std::numeric_limits<int64_t>::max(), &number)) {
      Filesize = number;
    }
    if (name == "Software_name") {
      Software_name = platform::FromUtf8(TextOf(*element)).substr(0, kMaxSoftwareNameLength);
    }
  }
  state = kStateLoaded;
  source = kSourceServer;
  appendCandidatesLocked();
  return true;
}

// ---- Embedded load -----------------------------------------------------------------

CConfigure::EmbeddedValues CConfigure::ReadEmbeddedValues(ui::Control* layout) {
  const ProductConfig config(layout);
  EmbeddedValues values;
  values.Downloader_id = config.Int(L"Downloader_id");
  values.Software_id = config.Int(L"Software_id");
  values.Site_id = config.Int(L"Site_id");
  values.Language_id = config.Int(L"Language_id");
  values.Software_name = config.Text(L"Software_name");
  values.Software_version = config.Text(L"Software_version");
  values.Process_name = config.Text(L"Process_name");
  values.Install_url = config.Text(L"Install_url");
  values.Download_url = config.Text(L"Download_url");
  values.Extra_download_url = config.Text(L"Extra_download_url");
  values.Banner_url = config.Text(L"Banner_url");
  values.Licensefile_url = config.Text(L"Licensefile_url");
  values.Md5 = config.Text(L"Md5");
  values.Filesize = config.Int64(L"Filesize");
  values.Md5_extra = config.Text(L"Md5_extra");
  values.InstallTimeout = static_cast<int32_t>(config.InstallTimeoutSeconds());
  values.Cnet_download_url = config.Text(L"Cnet_download_url");
  return values;
}

int CConfigure::loadFromProductConfig(ui::Control* layout, bool mark) {
  const EmbeddedValues values = ReadEmbeddedValues(layout);
  std::lock_guard<std::mutex> lock(mutex_);
  embedded_ = values;
  applyEmbeddedLocked(values, mark);
  return 1;
}

int CConfigure::loadFromProductConfig(bool mark) {
  std::lock_guard<std::mutex> lock(mutex_);
  applyEmbeddedLocked(embedded_, mark);
  return 1;
}

void CConfigure::applyEmbeddedLocked(const EmbeddedValues& values, bool mark) {
  resetLocked();
  Downloader_id = values.Downloader_id;
  Software_id = values.Software_id;
  Site_id = values.Site_id;
  Language_id = values.Language_id;
  Software_name = values.Software_name;
  Software_version = values.Software_version;
  Process_name = values.Process_name;
  Install_url = values.Install_url;
  Download_url = values.Download_url;
  Extra_download_url = values.Extra_download_url;
  Banner_url = values.Banner_url;
  Licensefile_url = values.Licensefile_url;
  Md5 = values.Md5;
  Filesize = values.Filesize;
  Md5_extra = values.Md5_extra;
  InstallTimeout = values.InstallTimeout;
  Cnet_download_url = values.Cnet_download_url;
  Downloader_type = 1;
  Downloader_config = 0;
  Slice_num = 0;
  Slice_size = 0;
  Additional_time = 0;
  if (!mark) return;
  state = kStateLoaded;
  source = kSourceEmbedded;
  appendCandidatesLocked();
}

// ---- Log ---------------------------------------------------------------------------------

int CConfigure::printContent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (source == kSourceEmbedded) {
    LOG(INFO) << " Configure Load From File! ";
  } else if (source == kSourceServer) {
    LOG(INFO) << " Configure Load From XML! ";
  } else {
    LOG(INFO) << " Configure Load From Nothing! ";
  }
  using platform::ToUtf8;
  LOG(INFO) << " [File ContentLength]: " << Filesize;
  LOG(INFO) << " [Downloader Id]: " << Downloader_id;
  LOG(INFO) << " [SoftWare Id]: " << Software_id;
  LOG(INFO) << " [Site Id]: " << Site_id;
  LOG(INFO) << " [Language Id]: " << Language_id;
  LOG(INFO) << " [Software Name]: " << ToUtf8(Software_name);
  LOG(INFO) << " [Software Version]: " << ToUtf8(Software_version);
  LOG(INFO) << " [Remote Path]: " << ToUtf8(Download_url);
  LOG(INFO) << " [MD5 String]: " << ToUtf8(Md5);
  LOG(INFO) << " [Process Name]: " << ToUtf8(Process_name);
  LOG(INFO) << " [Install Url]: " << ToUtf8(Install_url);
  LOG(INFO) << " [Banner Url]: " << ToUtf8(Banner_url);
  LOG(INFO) << " [Licensefile Url]: " << ToUtf8(Licensefile_url);
  LOG(INFO) << " [Extra Download Url]: " << ToUtf8(Extra_download_url);
  LOG(INFO) << " [Cnet Download Url]: " << ToUtf8(Cnet_download_url);
  LOG(INFO) << " [MD5 Extra String]: " << ToUtf8(Md5_extra);
  LOG(INFO) << " [Downloader config]: " << Downloader_config;
  LOG(INFO) << " [Slice num]: " << Slice_num;
  LOG(INFO) << " [Slice size]: " << Slice_size;
  LOG(INFO) << " [Additional Time]: " << Additional_time;
  return 1;
}

// ---- Fetch sequences -------------------------------------------------------------------

void CConfigure::updateCommonInfo(const LanguageSource& language) const {
  std::string version;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    version = platform::ToUtf8(Software_version);
  }
  CSingleUserLog::GetInstance()->UpdateCommonInfo(language ? language() : LangEnglish, version);
}

void CConfigure::AsyncGetCbsInfo(const LanguageSource& language) {
  const int first = getDownloadInfoXml(false, false);
  if (abandoned_.load()) {
    LOG(INFO) << kAbandonLine;
    return;
  }
  if (first != 1) {
    getDownloadInfoXml(false, true);
    if (abandoned_.load()) {
      LOG(INFO) << kAbandonLine;
      return;
    }
  }
  {
    // The flow sets the flag under this lock: checking it here again, with
    // the parse in the same hold, is what keeps the two threads from parsing
    // at the same moment when the flow starts right after the check above.
    std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_.load()) {
      LOG(INFO) << kAbandonLine;
      return;
    }
    parseLocked();
  }
  updateCommonInfo(language);
}

void CConfigure::SyncGetCbsInfo(const LanguageSource& language) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_.store(true);
  }
  auto currentState = [this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return state;
  };
  if (currentState() != kStateLoaded) {
    if (getDownloadInfoXml(true, false) != 1) getDownloadInfoXml(true, true);
    parseDownloadInfoXml();
    updateCommonInfo(language);
    if (currentState() != kStateLoaded) loadFromProductConfig(true);
  }
  if (currentState() == kStateLoaded) printContent();
  int32_t loadedFrom = kSourceNothing;
  Read([&loadedFrom](const CConfigure& record) { loadedFrom = record.source; });
  CSingleUserLog::GetInstance()->AddUserLog_funnelEx(
      "Download", "DownloadConfigReady", "default_config",
      loadedFrom == kSourceEmbedded ? "1" : "0", false);
}
