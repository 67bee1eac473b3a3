#include "SingleUserLog.h"

#include <json/json.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "FuntionImpl.h"
#include "JsonText.h"
#include "Logging.h"
#include "ProductConfig.h"
#include "platform/Drives.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "reportsdk/IWebLog.h"

namespace {

constexpr int kSendAttempts = 3;
constexpr int kResultAutoRun = -99;
constexpr int kResultNoReportObject = -1;
// A day marker bigger than this is not ours; it counts as unreadable.
constexpr std::streamsize kMaxGalogBytes = 1 << 20;

const char* OrEmpty(const char* text) { return text ? text : ""; }

// The longest prefix of text of at most maxBytes bytes that does not split a
// UTF-8 sequence.
std::string CutUtf8(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string StyledJson(const Json::Value& value) { return Json::StyledWriter().write(value); }

// The JSON object stored at path; false when the file is missing, unreadable,
// too big, not JSON or not an object.
bool ReadJsonObject(const std::string& path, Json::Value* object) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text;
  text.resize(static_cast<size_t>(kMaxGalogBytes) + 1);
  in.read(&text[0], kMaxGalogBytes + 1);
  const std::streamsize got = in.gcount();
  if (got > kMaxGalogBytes || in.bad()) return false;
  text.resize(static_cast<size_t>(got));

  Json::Value root;
  if (!ParseJsonText(text, &root) || !root.isObject()) return false;
  *object = std::move(root);
  return true;
}

// A temporary name beside the target that no other thread or process picks.
std::string TemporaryNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  const size_t thread = std::hash<std::thread::id>()(std::this_thread::get_id());
  std::ostringstream name;
  name << path << ".tmp" << std::hex << now << '-' << thread << '-' << counter++;
  return name.str();
}

// Readers see the old or the new content, never a part of it.
bool WriteFileAtomically(const std::string& path, const std::string& text) {
  const std::string temporary = TemporaryNameFor(path);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    out.flush();
    if (!out) {
      out.close();
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

const Json::Value* FindMember(const Json::Value& object, const std::string& name) {
  return object.find(name.data(), name.data() + name.size());
}

bool HoldsInt(const Json::Value& object, const char* name, int expected) {
  const Json::Value* member = FindMember(object, name);
  return member && member->isInt() && member->asInt() == expected;
}

bool IsSameDate(const Json::Value& marker, const platform::SystemTime& today) {
  return HoldsInt(marker, "year", today.year) && HoldsInt(marker, "month", today.month) &&
         HoldsInt(marker, "day", today.day);
}

}  // namespace

CSingleUserLog* CSingleUserLog::GetInstance() {
  static CSingleUserLog instance;
  return &instance;
}

// The two named events "UserLogGA4Mutex" and
// "UserLogFunnelMutex" are not created: nothing in the program waits on them
// or signals them.
CSingleUserLog::CSingleUserLog() : facts_(ComputeMachineFacts()), report_(GetReportObj()) {}

CSingleUserLog::MachineFacts CSingleUserLog::ComputeMachineFacts() {
  MachineFacts facts;
  const std::wstring modulePath = platform::GetModuleFilePath();
  facts.toolsVersion = FuntionImpl::GetFileVersion(modulePath);
  facts.channelId = ChannelIdOfFileName(modulePath);
  float versionNumber = 0;
  facts.osDescription =
      FuntionImpl::GetOSName(&versionNumber) + (FuntionImpl::IsWow64() ? " 64bit" : " 32bit");
  SplitLocaleName(FuntionImpl::GetLocaleName(), &facts.language, &facts.region);
  return facts;
}

std::string CSingleUserLog::ChannelIdOfFileName(const std::wstring& filePath) {
  const size_t slash = filePath.rfind(L'/');
  const std::wstring name = slash == std::wstring::npos ? filePath : filePath.substr(slash + 1);
  const size_t underscore = name.rfind(L'_');
  const size_t dot = name.rfind(L'.');
  if (underscore == std::wstring::npos || dot == std::wstring::npos || dot < underscore) {
    return std::string();
  }
  return platform::ToUtf8(name.substr(underscore + 1, dot - underscore - 1));
}

void CSingleUserLog::SplitLocaleName(const std::string& localeName, std::string* language,
                                     std::string* region) {
  const size_t underscore = localeName.find('_');
  if (underscore == std::string::npos) {
    *language = "Unknown";
    *region = "Unknown";
    return;
  }
  *language = localeName.substr(0, underscore);
  *region = localeName.substr(underscore + 1);
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
  std::string toolsVersion;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    downloaderId_ = downloaderId;
    siteId_ = siteId;
    productVersion_ = productVersion;
    productName_ = productName;
    startupUrl_ = startupUrl;
    specialDownloader_ = specialDownloader;
    mainPid_ = mainPid;
    toolsVersion = facts_.toolsVersion;
  }
  const bool isNew = RunDayCheck();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    isNew_ = isNew;
  }
  IWebLog* report = report_.load();
  if (!report) return;
  report->Init(2, mainPid, mainPid, "", "", productName.c_str(), productVersion.c_str(), "");
  report->SetDownloaderInfo(downloaderId, specialDownloader ? 1 : 0, "en", toolsVersion.c_str());
}

int32_t CSingleUserLog::GetSiteId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return siteId_;
}

bool CSingleUserLog::IsFirstRunOfDay() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return isNew_;
}

std::string CSingleUserLog::GetToolsVersion() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return facts_.toolsVersion;
}

std::string CSingleUserLog::GetChannelId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return facts_.channelId;
}

void CSingleUserLog::RegisterMainWindow(IUserLogWindow* window) {
  std::lock_guard<std::mutex> lock(mutex_);
  window_ = window;
}

// ---- Day marker -------------------------------------------------------------

platform::SystemTime CSingleUserLog::Now() const {
  std::function<platform::SystemTime()> clock;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    clock = clock_;
  }
  return clock ? clock() : platform::GetLocalTime();
}

std::string CSingleUserLog::GalogPath() const {
  const std::wstring folder = GetLogFolder();
  return folder.empty() ? std::string() : platform::ToUtf8(folder + L"/galog.json");
}

bool CSingleUserLog::RunDayCheck() {
  const std::string path = GalogPath();
  if (path.empty()) {
    LOG(INFO) << " galog.json not checked, no log folder";
    return true;
  }
  const platform::SystemTime today = Now();
  std::lock_guard<std::mutex> lock(galogMutex_);
  Json::Value marker;
  const bool readable = ReadJsonObject(path, &marker);
  if (readable && IsSameDate(marker, today)) return false;
  if (!readable) marker = Json::Value(Json::objectValue);
  marker["year"] = today.year;
  marker["month"] = today.month;
  marker["day"] = today.day;
  if (!WriteFileAtomically(path, StyledJson(marker))) {
    LOG(INFO) << " galog.json write fail: " << path;
  }
  return true;
}

void CSingleUserLog::WriteVersionRecordOnce(const std::string& toolsVersion) {
  std::lock_guard<std::mutex> lock(galogMutex_);
  if (!versionRecordPending_) return;
  versionRecordPending_ = false;
  const std::string path = GalogPath();
  if (path.empty()) return;
  Json::Value marker;
  if (!ReadJsonObject(path, &marker)) marker = Json::Value(Json::objectValue);
  const Json::Value* current = FindMember(marker, "version");
  if (current && current->isString() && current->asString() == toolsVersion) return;
  marker["version"] = toolsVersion;
  if (!WriteFileAtomically(path, StyledJson(marker))) {
    LOG(INFO) << " galog.json write fail: " << path;
  }
}

// ---- Sending ------------------------------------------------------------------

CSingleUserLog::Snapshot CSingleUserLog::TakeSnapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Snapshot state;
  state.facts = facts_;
  state.productName = productName_;
  state.startupUrl = startupUrl_;
  state.siteId = siteId_;
  state.mainPid = mainPid_;
  state.specialDownloader = specialDownloader_;
  state.isNew = isNew_;
  state.window = window_;
  return state;
}

int CSingleUserLog::SendGate(IWebLog** report) const {
  if (ProductConfig::AutoRun()) return kResultAutoRun;
  *report = report_.load();
  return *report ? 0 : kResultNoReportObject;
}

namespace {

// Calls send up to three times in a row, stopping at the first 0.
int SendWithRetry(const std::function<int()>& send, const char* kind, const std::string& category,
                  const std::string& action) {
  int result = 0;
  for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
    result = send();
    if (result == 0) return 0;
  }
  LOG(INFO) << "send " << kind << " fail, bWait = true, retry is max, retcode = " << result << ", "
            << category << "###" << action;
  return result;
}

}  // namespace

Json::Value CSingleUserLog::FunnelRecord(const Snapshot& state, const Json::Value& actions,
                                         bool toolkit) {
  std::string productVersion;
  std::string toolsLanguage;
  if (state.window) {
    productVersion = platform::ToUtf8(state.window->GetProductVersion());
    toolsLanguage = LanguageTelemetryCode(state.window->GetCurrentLanguage());
  }
  Json::Value record(Json::objectValue);
  record["is_new"] = state.isNew ? 1 : 0;
  record["brand"] = "PC";
  record["model"] = "PC";
  record["product"] = state.productName;
  record["product_version"] = productVersion;
  record["email"] = "";
  record["phone"] = "";
  record["cross_end_id"] = state.facts.channelId;
  record["rnclid"] = state.facts.channelId;
  record["source_type"] = "downloader";
  record["tools_version"] = state.facts.toolsVersion;
  record["tools_lang"] = toolsLanguage;
  record["kit_type"] = toolkit ? 2 : (state.specialDownloader ? 1 : 0);
  record["actions"] = actions;
  record["pid"] = state.mainPid;
  return record;
}

int CSingleUserLog::SendFunnelRecord(IWebLog* report, const std::string& category,
                                     const std::string& action, const Json::Value& actions,
                                     bool toolkit) {
  const Snapshot state = TakeSnapshot();
  WriteVersionRecordOnce(state.facts.toolsVersion);
  const std::string text = StyledJson(FunnelRecord(state, actions, toolkit));
  return SendWithRetry([&] { return report->SendFunnel(text.c_str()); }, "funnel", category,
                       action);
}

int CSingleUserLog::AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName,
                                      int32_t funcStep, const std::string& category,
                                      const std::string& action, const std::string& label, bool,
                                      bool toolkit) {
  IWebLog* report = nullptr;
  if (const int refused = SendGate(&report)) return refused;
  Json::Value actions(Json::objectValue);
  actions["event_category"] = category;
  actions["event_action"] = action;
  actions["event_label"] = label;
  if (!coreFuncName.empty()) {
    actions["core_func_name"] = coreFuncName;
    actions["func_step"] = funcStep;
  }
  actions["event_type"] = eventType.empty() ? std::string("event") : eventType;
  return SendFunnelRecord(report, category, action, actions, toolkit);
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string& category, const std::string& action,
                                        const std::map<std::string, std::string>& values, bool,
                                        bool toolkit) {
  IWebLog* report = nullptr;
  if (const int refused = SendGate(&report)) return refused;
  Json::Value actions(Json::objectValue);
  actions["event_type"] = "event";
  actions["event_category"] = category;
  actions["event_action"] = action;
  for (const auto& [key, value] : values) {
    if (!key.empty()) actions[key] = value;
  }
  return SendFunnelRecord(report, category, action, actions, toolkit);
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string& category, const std::string& action,
                                        const std::string& key, const std::string& value,
                                        bool toolkit) {
  return AddUserLog_funnelEx(category, action, {{key, value}}, true, toolkit);
}

std::vector<CSingleUserLog::DerivedRecord> CSingleUserLog::PlanDerivedRecords(
    const std::string& category, const std::string& action, const std::string& label) {
  static const char kFlowError[] = "FlowError";
  static const char kToolkitError[] = "FlowIsChToolKitError";
  std::vector<DerivedRecord> records;
  std::lock_guard<std::mutex> lock(mutex_);
  if (action == "FlowErrorIsChToolKitErrorCode") {
    if (!toolkitErrorStarted_) {
      toolkitErrorStarted_ = true;
      records.push_back({kToolkitError, 0, "CoreFuncStart", false});
    }
    records.push_back({kToolkitError, toolkitErrorStep_++, label, true});
  } else if (action == kFlowError) {
    if (!flowErrorStarted_) {
      flowErrorStarted_ = true;
      records.push_back({kFlowError, 0, "CoreFuncStart", false});
    }
    records.push_back({kFlowError, flowErrorStep_++, label, false});
  } else if (category == "CrashRate" && action == "Close") {
    if (flowErrorStarted_) records.push_back({kFlowError, 0, "CoreFuncEnd", false});
    if (toolkitErrorStarted_) records.push_back({kToolkitError, 0, "CoreFuncEnd", false});
  }
  return records;
}

// A tail longer than its 4096-byte buffer would have been silently cut by
// the formatting; here the label, the one free text of an event, is shortened
// (at a character boundary) so that every parameter after it stays intact.
// Only when the tail is too long even without a label is its end cut.
std::string CSingleUserLog::BuildGa4Tail(const Snapshot& state, const std::string& category,
                                         const std::string& action,
                                         const std::string& label) const {
  const std::string& tools = state.facts.toolsVersion;
  const std::string dimensions =
      CutUtf8("&ep.cd1=" + tools + "&ep.cd2=" + FuntionImpl::TrafficTypeOfSite(state.siteId) +
                  "&ep.cd3=" + FuntionImpl::ChannelLabelOfSite(state.siteId, state.startupUrl) +
                  "&ep.cd4=" + state.productName + "&ep.cd5=" + state.facts.region +
                  "&ep.cd6=" + state.facts.language + "&ep.cd7=" + state.facts.osDescription +
                  "&ep.cd8=" + std::to_string(state.specialDownloader ? 0 : 1),
              kMaxGa4Text);
  const std::string head =
      "&tid=G-R8KW2QZ5NT&ep.mv_productname=Downloader&ep.mv_productversion=" + tools +
      "&ep.mv_category=" + category + "&ep.mv_action=" + action + "&ep.mv_label=";
  const std::string rest = "&en=" + action + dimensions;
  const size_t fixed = head.size() + rest.size();
  std::string fittedLabel = label;
  if (fixed + label.size() > kMaxGa4Text) {
    fittedLabel = CutUtf8(label, fixed < kMaxGa4Text ? kMaxGa4Text - fixed : 0);
    LOG(INFO) << " ga4 label shortened from " << label.size() << " to " << fittedLabel.size()
              << " bytes, " << CutUtf8(category, 64) << "###" << CutUtf8(action, 64);
  }
  return CutUtf8(head + fittedLabel + rest, kMaxGa4Text);
}

int CSingleUserLog::AddUserLog(const char* category, const char* action, const char* label) {
  return AddUserLog(0, action, false, 0, nullptr, label, category);
}

int CSingleUserLog::AddUserLog(int, const char* actionText, bool, int, const char*,
                               const char* labelText, const char* categoryText) {
  if (ProductConfig::AutoRun()) return kResultAutoRun;
  const std::string category = OrEmpty(categoryText);
  const std::string action = OrEmpty(actionText);
  const std::string label = OrEmpty(labelText);

  if (category == "Other" && action == "FlowError") {
    AddUserLog_funnelEx("ErrorReporting", "Error", "MainErrorType", label, false);
  }
  for (const DerivedRecord& record : PlanDerivedRecords(category, action, label)) {
    AddUserLog_funnel("CoreFuncEvent", record.coreFuncName, record.step, "Download", record.action,
                      "null", true, record.toolkit);
  }

  IWebLog* report = report_.load();
  if (!report) return kResultNoReportObject;
  const std::string tail = BuildGa4Tail(TakeSnapshot(), category, action, label);
  return SendWithRetry([&] { return report->SendGa4(tail.c_str()); }, "ga4", category, action);
}

void CSingleUserLog::UpdateCommonInfo(EnumLanguage language, const std::string& productVersion) {
  IWebLog* report = report_.load();
  if (!report) return;
  report->SetExtraCommon("", "", LanguageTelemetryCode(language), productVersion.c_str(), 0);
}

// ---- Shared values ------------------------------------------------------------

void CSingleUserLog::SetCacheValue(const std::string& key, int64_t value) {
  if (key.empty() || value == 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  cache_[key] = value;
}

int64_t CSingleUserLog::GetCacheValue(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = cache_.find(key);
  return found == cache_.end() ? 0 : found->second;
}

void CSingleUserLog::SetDownloadSettings(int32_t downloaderConfig, int32_t sliceNum,
                                         int32_t sliceSize, int32_t additionalTime) {
  downloaderConfig_.store(downloaderConfig);
  sliceNum_.store(sliceNum);
  sliceSize_.store(sliceSize);
  additionalTime_.store(additionalTime);
}

int32_t CSingleUserLog::GetDownloaderConfig() const { return downloaderConfig_.load(); }
int32_t CSingleUserLog::GetSliceNum() const { return sliceNum_.load(); }
int32_t CSingleUserLog::GetSliceSize() const { return sliceSize_.load(); }
int32_t CSingleUserLog::GetAdditionalTime() const { return additionalTime_.load(); }

bool CSingleUserLog::WaitThreadForExit() {
  LOG(INFO) << "CSingleUserLog WaitThreadForExit";
  return true;
}

// ---- For tests ------------------------------------------------------------------

void CSingleUserLog::SetReportObjForTesting(IWebLog* report) { report_.store(report); }

void CSingleUserLog::SetClockForTesting(std::function<platform::SystemTime()> clock) {
  std::lock_guard<std::mutex> lock(mutex_);
  clock_ = std::move(clock);
}

void CSingleUserLog::ResetForTesting() {
  MachineFacts facts = ComputeMachineFacts();
  {
    std::lock_guard<std::mutex> lock(galogMutex_);
    versionRecordPending_ = true;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  logFilePath_.clear();
  logFolder_.clear();
  workFolder_.clear();
  startTime_.clear();
  facts_ = std::move(facts);
  downloaderId_ = siteId_ = mainPid_ = 0;
  specialDownloader_ = isNew_ = false;
  productVersion_.clear();
  productName_.clear();
  startupUrl_.clear();
  window_ = nullptr;
  flowErrorStarted_ = toolkitErrorStarted_ = false;
  flowErrorStep_ = toolkitErrorStep_ = 0;
  cache_.clear();
  SetDownloadSettings(0, 0, 0, 0);
}
