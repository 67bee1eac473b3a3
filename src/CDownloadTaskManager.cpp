#include "CDownloadTaskManager.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <thread>
#include <utility>

#include "CLibcurlTool.h"
#include "Logging.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/FileLock.h"

namespace {

// ---- Header text of the length probe ---------------------------------------------
//
// Header names compare without regard to case and only at the start of a
// line: HTTP/2 sends them in lower case, and "Location:" must not be found
// inside "Content-Location:".

bool StartsWithName(std::string_view text, std::string_view name) {
  if (text.size() < name.size()) return false;
  return std::equal(name.begin(), name.end(), text.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

// Position of the first line of text that starts with name; npos if none.
size_t FindHeader(std::string_view text, std::string_view name) {
  for (size_t at = 0; at < text.size();) {
    if (StartsWithName(text.substr(at), name)) return at;
    const size_t end = text.find('\n', at);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return std::string_view::npos;
}

// The text from `from` to the end of the line that holds `lineStart`, without
// its line end; a header text cut short ends at its end.
std::string_view RestOfLine(std::string_view text, size_t lineStart, size_t from) {
  size_t end = text.find('\n', lineStart);
  if (end == std::string_view::npos) end = text.size();
  if (end > lineStart && text[end - 1] == '\r') --end;
  if (from >= end) return std::string_view();
  return text.substr(from, end - from);
}

// The head of the last response in text: a probe's text holds every response
// of a redirect chain (and a proxy's CONNECT answer), the length belongs to
// the last.
std::string_view LastResponseHead(std::string_view text) {
  size_t last = std::string_view::npos;
  for (size_t at = 0; at < text.size();) {
    if (StartsWithName(text.substr(at), "HTTP/")) last = at;
    const size_t end = text.find('\n', at);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return last == std::string_view::npos ? text : text.substr(last);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A length after optional blanks: a positive decimal that fits in 64 bits;
// anything else (negative, zero, too large, no digits) is unknown, 0.
int64_t ReadLength(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() || value <= 0) return 0;
  return value;
}

// The remote length named by a response head: the total of its
// Content-Range, else its Content-Length; 0 without either.
int64_t LengthOfHead(std::string_view head) {
  const size_t range = FindHeader(head, "Content-Range:");
  if (range != std::string_view::npos) {
    const std::string_view line = RestOfLine(head, range, range);
    const size_t slash = line.find('/');
    return slash == std::string_view::npos ? 0 : ReadLength(line.substr(slash + 1));
  }
  const size_t length = FindHeader(head, "Content-Length:");
  if (length == std::string_view::npos) return 0;
  return ReadLength(RestOfLine(head, length, length + std::size("Content-Length:") - 1));
}

// ---- Redirects ------------------------------------------------------------------

struct UrlCleanup {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlFree {
  void operator()(char* text) const { curl_free(text); }
};

// location resolved against base, the address that answered with it, in
// libcurl's normal form. A relative location ("/files/b.exe") would
// otherwise become an address no request can reach. Returns location as it
// stands when either cannot be parsed.
std::string ResolveAgainst(const std::string& base, const std::string& location) {
  std::unique_ptr<CURLU, UrlCleanup> url(curl_url());
  if (!url) return location;
  curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0);
  if (curl_url_set(url.get(), CURLUPART_URL, location.c_str(), 0) != CURLUE_OK) return location;
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return location;
  const std::unique_ptr<char, CurlFree> owned(text);
  return std::string(text);
}

// The first redirect target in a probe's text, resolved against base; empty
// when there is none.
std::string RedirectTarget(std::string_view text, const std::string& base) {
  const size_t at = FindHeader(text, "Location:");
  if (at == std::string_view::npos) return std::string();
  const std::string_view value = Trimmed(RestOfLine(text, at, at + std::size("Location:") - 1));
  if (value.empty()) return std::string();
  return ResolveAgainst(base, std::string(value));
}

// ---- CDN diagnostics --------------------------------------------------------------

void ReportCdnHeaders(std::string_view text, std::string* cdnProbeStatus) {
  const size_t cache = FindHeader(text, "CF-Cache-Status:");
  const size_t ray = FindHeader(text, "CF-RAY:");
  const std::string_view rayLine =
      ray == std::string_view::npos ? std::string_view() : RestOfLine(text, ray, ray);
  const size_t dash = rayLine.size() > 7 ? rayLine.find('-', 7) : std::string_view::npos;
  if (cache != std::string_view::npos && dash != std::string_view::npos) {
    const std::string status(RestOfLine(text, cache, cache + 16));  // keeps the blank
    const std::string location(rayLine.substr(dash + 1));
    LOG(INFO) << " Cdn result: " << status << ", " << location;
    CSingleUserLog::GetInstance()->AddUserLog("Download", "3.CDNStatus",
                                              (location + "/" + status).c_str());
    return;
  }
  const size_t xCache = FindHeader(text, "X-Cache: ");
  if (xCache == std::string_view::npos) return;
  *cdnProbeStatus = std::string(RestOfLine(text, xCache, xCache + 9));
  LOG(INFO) << " Cdn result: " << *cdnProbeStatus;
  CSingleUserLog::GetInstance()->AddUserLog("Download", "3.CDNStatus", cdnProbeStatus->c_str());
}

// ---- Task file ---------------------------------------------------------------------

std::filesystem::path PathOf(const std::string& utf8) { return std::filesystem::u8path(utf8); }

// The file's bytes, when it can be read and is not larger than limit.
bool ReadSmallFile(const std::string& path, int64_t limit, std::string* content) {
  std::ifstream in(PathOf(path), std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0 || size > limit) return false;
  content->resize(static_cast<size_t>(size));
  in.seekg(0);
  in.read(content->data(), size);
  return in.gcount() == size;
}

std::string TextOf(const tinyxml2::XMLElement& element) {
  const char* text = element.GetText();
  return text ? text : "";
}

// A decimal text (blanks around it allowed) in [low, high]; anything else
// gives invalid, a value that the checks refuse wherever it matters.
int64_t NumberOf(const tinyxml2::XMLElement& element, int64_t low, int64_t high, int64_t invalid) {
  const std::string whole = TextOf(element);
  const std::string_view text = Trimmed(whole);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return invalid;
  return value < low || value > high ? invalid : value;
}

constexpr int64_t kInt64Min = INT64_MIN;
constexpr int64_t kInt64Max = INT64_MAX;

int32_t Int32Of(const tinyxml2::XMLElement& element, int32_t invalid) {
  return static_cast<int32_t>(NumberOf(element, INT32_MIN, INT32_MAX, invalid));
}

// Reads the children of one Task element into task. Returns false when the
// element names the slice's state.
bool ReadTask(const tinyxml2::XMLElement& element, CTask* task) {
  bool noState = true;
  for (const tinyxml2::XMLElement* child = element.FirstChildElement(); child;
       child = child->NextSiblingElement()) {
    const std::string_view name = child->Name();
    if (name == "StartPos") {
      task->StartPos = NumberOf(*child, kInt64Min, kInt64Max, -1);
    } else if (name == "EndPos") {
      task->EndPos = NumberOf(*child, kInt64Min, kInt64Max, -1);
    } else if (name == "DownloadedPos") {
      task->DownloadedPos = NumberOf(*child, kInt64Min, kInt64Max, -1);
    } else if (name == "RemotePath") {
      task->RemotePath = TextOf(*child);
    } else if (name == "LocalPath") {
      task->LocalPath = TextOf(*child);
    } else if (name == "TaskStatus") {
      noState = false;
      task->TaskStatus = Int32Of(*child, -1);
    } else if (name == "TaskId") {
      task->TaskId = Int32Of(*child, 0);
    } else if (name == "RequestTimes") {
      task->RequestTimes = 0;  // failed attempts count per download
    }
  }
  return noState;
}

void AddNumber(tinyxml2::XMLElement* parent, const char* name, int64_t value) {
  parent->InsertNewChildElement(name)->SetText(value);
}

void AddText(tinyxml2::XMLElement* parent, const char* name, const std::string& text) {
  parent->InsertNewChildElement(name)->SetText(text.c_str());
}

// One Task element, with the slice's positions as they stand now.
void AddTaskElement(tinyxml2::XMLElement* root, const CTask& task) {
  tinyxml2::XMLElement* element = root->InsertNewChildElement("Task");
  AddNumber(element, "StartPos", task.StartPos);
  AddNumber(element, "EndPos", task.EndPos);
  AddNumber(element, "DownloadedPos", task.DownloadedPos.load());
  AddText(element, "RemotePath", task.RemotePath);
  AddText(element, "LocalPath", task.LocalPath);
  AddNumber(element, "TaskStatus", task.TaskStatus.load());
  AddNumber(element, "TaskId", task.TaskId.load());
  AddNumber(element, "RequestTimes", task.RequestTimes.load());
}

void RemoveFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(PathOf(path), ignored);
}

bool IsKnownState(int32_t state) { return state >= TaskTodo && state <= TaskDispatched; }

// Where the bytes that task claims to hold end (one past the last): its
// whole range once complete (the last slice ends at the length itself, one
// past the file), else up to DownloadedPos. 0 when it claims nothing.
int64_t ClaimedEnd(const CTask& task, int64_t length) {
  const int64_t downloaded = task.DownloadedPos.load();
  if (downloaded == task.EndPos) return std::min(task.EndPos, length - 1) + 1;
  return downloaded > task.StartPos ? downloaded : 0;
}

}  // namespace

CDownloadTaskManager::CDownloadTaskManager(std::string url, std::string localPath,
                                           std::string taskFilePath)
    : url_(std::move(url)),
      localPath_(std::move(localPath)),
      taskFilePath_(std::move(taskFilePath)) {}

CDownloadTaskManager::~CDownloadTaskManager() = default;

// ---- Preparing -------------------------------------------------------------------------

EnumErrorCode CDownloadTaskManager::loadDownloadTask(const std::string& reportTag, int logFlag) {
  if (taskFileExists()) {
    const bool noStates = loadTaskFromFile(logFlag);
    if (checkLoadedTasks(logFlag) == 1) {
      LOG(INFO) << " Load tasks from file success!";
      if (!noStates) {
        CSingleUserLog::GetInstance()->AddUserLog_funnelEx("Download", "ResumUpload", "", "",
                                                           false);
      }
      return DOWNLOAD_OK;
    }
    LOG(INFO) << " taskinfo file error";
    clearTasks();
    RemoveFile(localPath_);
    RemoveFile(taskFilePath_);
    downloadTime_ = 0;
    contentLength_ = 0;
  }
  return generateDownloadTask(reportTag, logFlag);
}

EnumErrorCode CDownloadTaskManager::generateDownloadTask(const std::string& reportTag,
                                                         int logFlag) {
  std::vector<std::string> results;
  std::string cdnProbeStatus;
  CURLcode lastCode = CURLE_OK;
  int64_t length = 0;
  for (int query = 0; query < kLengthQueries; ++query) {
    length = getContentLength(&lastCode, &cdnProbeStatus, logFlag);
    if (length > 0) {
      results.push_back("Success");
      break;
    }
    results.push_back("error:" + std::to_string(static_cast<int>(lastCode)));
    std::this_thread::sleep_for(queryPause_);
  }
  results.resize(kLengthQueries, "Null");

  if (!reportTag.empty()) {
    std::string joined = results.front();
    for (size_t i = 1; i < results.size(); ++i) joined += "/" + results[i];
    CSingleUserLog::GetInstance()->AddUserLog("Other", "Download", joined.c_str());
    LOG(INFO) << " GetSize: " << reportTag << ", " << joined;
  }
  if (length <= 0) {
    LOG(INFO) << " [Error]: Get ContentLength Fail, tried 5 times";
    return lastCode == CURLE_TOO_MANY_REDIRECTS ? DOWNLOAD_TOO_MANY_REDIRECTS : DOWNLOAD_NO_LENGTH;
  }
  contentLength_ = length;
  cutIntoSlices(length, cdnProbeStatus, logFlag);
  if (logFlag != 0) logListSizes("generate");
  return DOWNLOAD_OK;
}

void CDownloadTaskManager::cutIntoSlices(int64_t length, const std::string& cdnProbeStatus,
                                         int logFlag) {
  const int64_t sliceNum = CSingleUserLog::GetInstance()->GetSliceNum();
  const int64_t sliceSizeSetting = CSingleUserLog::GetInstance()->GetSliceSize();
  int64_t size = 0;
  int64_t count = 0;
  if (sliceNum > 0) {
    size = length / sliceNum;
    count = sliceNum;
    if (size == 0) {  // more slices asked for than there are bytes
      size = 1;
      count = length;
    }
  } else {
    size = sliceSizeSetting > 0 ? sliceSizeSetting : kDefaultSliceSize;
    count = length / size;
  }
  if (count > kMaxSlices) {
    size = length / kMaxSlices + (length % kMaxSlices != 0 ? 1 : 0);
    count = length / size;
  }
  if (count == 0) count = 1;
  sliceSize_ = size;
  sliceCount_ = static_cast<int32_t>(count);

  for (int64_t i = 1; i <= count; ++i) {
    auto task = std::make_unique<CTask>();
    task->TaskStatus = TaskTodo;
    task->TaskId = static_cast<int32_t>(i);
    task->StartPos = (i - 1) * size;
    task->DownloadedPos = task->StartPos;
    task->EndPos = i == count ? length : i * size - 1;
    task->RemotePath = url_;
    task->LocalPath = localPath_;
    task->CdnProbeStatus = cdnProbeStatus;
    task->ContentLength = length;
    task->LogFlag = logFlag;
    addTask(std::move(task));
  }
}

int64_t CDownloadTaskManager::getContentLength(CURLcode* lastCode, std::string* cdnProbeStatus,
                                               int logFlag) {
  const int64_t cached = CSingleUserLog::GetInstance()->GetCacheValue(url_);
  if (cached != 0) {
    cdnProbeStatus->clear();
    return cached;
  }
  *lastCode = CURLE_OK;
  CLibcurlTool tool;
  std::string text;
  for (int probes = 1;; ++probes) {
    long status = 0;
    LOG(INFO) << " before getContentLength GetHeader";
    *lastCode = tool.httpGet(url_, &text, &status);
    LOG(INFO) << " after getContentLength GetHeader";
    ReportCdnHeaders(text, cdnProbeStatus);
    if (status != 200) {
      cdnProbeStatus->clear();
      return 0;
    }
    const std::string target = RedirectTarget(text, url_);
    // A redirect back to the address itself is no step along the chain.
    if (target.empty() || target == ResolveAgainst(url_, url_)) break;
    url_ = target;
    if (probes >= kMaxProbes) {
      *lastCode = CURLE_TOO_MANY_REDIRECTS;
      if (logFlag != 0)
        LOG(INFO) << " Get Contentlength = " << 0 << ", error CURLE_TOO_MANY_REDIRECTS";
      cdnProbeStatus->clear();
      return 0;
    }
  }
  const int64_t length = LengthOfHead(LastResponseHead(text));
  if (length == 0) return 0;
  if (logFlag != 0) LOG(INFO) << " Get Contentlength = " << length;
  CSingleUserLog::GetInstance()->SetCacheValue(url_, length);
  return length;
}

// ---- Reading and judging the task file -----------------------------------------------

bool CDownloadTaskManager::loadTaskFromFile(int logFlag) {
  tinyxml2::XMLDocument document;
  std::string content;
  if (ReadSmallFile(taskFilePath_, kMaxTaskFileBytes, &content)) {
    document.Parse(content.data(), content.size());
  }
  const tinyxml2::XMLElement* root = document.Error() ? nullptr : document.FirstChildElement();
  bool noStates = true;
  std::vector<std::unique_ptr<CTask>> tasks;
  for (const tinyxml2::XMLElement* child = root ? root->FirstChildElement() : nullptr; child;
       child = child->NextSiblingElement()) {
    const std::string_view name = child->Name();
    if (name == "TasksCount") {
      sliceCount_ = Int32Of(*child, -1);
    } else if (name == "ContentLength") {
      contentLength_ = NumberOf(*child, kInt64Min, kInt64Max, 0);
    } else if (name == "DownloadTime") {
      downloadTime_ = NumberOf(*child, 0, kInt64Max, 0);
    } else if (name == "Task") {
      tasks.push_back(std::make_unique<CTask>());
      if (!ReadTask(*child, tasks.back().get())) noStates = false;
    }
  }
  for (std::unique_ptr<CTask>& task : tasks) {
    if (task->ContentLength == 0) task->ContentLength = contentLength_;
    task->LogFlag = logFlag;
    addTask(std::move(task));
  }
  if (logFlag != 0) logListSizes("load");
  return noStates;
}

int CDownloadTaskManager::checkLoadedTasks(int logFlag) {
  // The file's own record answers for the address it was downloaded from,
  // unless this process has asked the server already.
  const bool recorded =
      contentLength_ > 0 && CSingleUserLog::GetInstance()->GetCacheValue(url_) == 0 &&
      std::any_of(allTasks_.begin(), allTasks_.end(),
                  [this](const std::unique_ptr<CTask>& task) { return task->RemotePath == url_; });
  int64_t remote = contentLength_;
  if (!recorded) {
    CURLcode code = CURLE_OK;
    std::string cdnProbeStatus;
    remote = getContentLength(&code, &cdnProbeStatus, logFlag);
    if (remote == 0) LOG(INFO) << " Remote length unknown, task file kept for the transfers";
  }
  if (remote != 0 && remote != contentLength_) {
    CSingleUserLog::GetInstance()->AddUserLog("Other", "FlowError", "DL025");
    return DOWNLOAD_LENGTH_CHANGED;
  }
  if (!slicesAreSound() || !localFileHoldsClaimedBytes()) {
    CSingleUserLog::GetInstance()->AddUserLog("Other", "FlowError", "DL026");
    return DOWNLOAD_TASKS_BROKEN;
  }
  rememberLoadedLengths();
  if (allTasks_.size() > 1) sliceSize_ = allTasks_.front()->EndPos + 1;
  return DOWNLOAD_OK;
}

bool CDownloadTaskManager::slicesAreSound() const {
  const int64_t length = contentLength_;
  const size_t count = allTasks_.size();
  if (length <= 0 || count == 0 || static_cast<int64_t>(count) != sliceCount_) return false;
  const CTask& first = *allTasks_.front();
  if (count > 1 && (first.StartPos != 0 || first.EndPos < 0 || first.EndPos >= length)) {
    return false;
  }
  const int64_t size = count > 1 ? first.EndPos + 1 : length;
  int64_t expectedStart = 0;
  for (size_t i = 0; i < count; ++i) {
    const CTask& task = *allTasks_[i];
    const bool last = i + 1 == count;
    const bool chained =
        task.StartPos == expectedStart && task.TaskId == static_cast<int64_t>(i + 1);
    const bool sized = last ? task.EndPos == length && task.StartPos < length
                            : task.EndPos - task.StartPos + 1 == size;
    const int64_t downloaded = task.DownloadedPos.load();
    const int32_t state = task.TaskStatus.load();
    const bool placed = downloaded >= task.StartPos && downloaded <= task.EndPos;
    const bool stateSound = IsKnownState(state) && (state != TaskDone || downloaded == task.EndPos);
    if (!chained || !sized || !placed || !stateSound) {
      LOG(INFO) << " taskinfo slice " << i + 1 << " broken: " << task.StartPos << "-" << task.EndPos
                << ", downloaded " << downloaded << ", status " << state;
      return false;
    }
    if (!last) expectedStart = task.EndPos + 1;  // below length, cannot overflow
  }
  return true;
}

bool CDownloadTaskManager::localFileHoldsClaimedBytes() const {
  int64_t claimed = 0;
  for (const std::unique_ptr<CTask>& task : allTasks_) {
    claimed = std::max(claimed, ClaimedEnd(*task, contentLength_));
  }
  if (claimed == 0) return true;
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(PathOf(localPath_), error);
  if (!error && size >= static_cast<uintmax_t>(claimed)) return true;
  LOG(INFO) << " taskinfo claims " << claimed << " bytes, local file holds " << (error ? 0 : size);
  return false;
}

void CDownloadTaskManager::rememberLoadedLengths() const {
  for (const std::unique_ptr<CTask>& task : allTasks_) {
    if (!task->RemotePath.empty()) {
      CSingleUserLog::GetInstance()->SetCacheValue(task->RemotePath, contentLength_);
    }
  }
}

// ---- Writing the task file --------------------------------------------------------------

int CDownloadTaskManager::saveTaskFile() {
  tinyxml2::XMLDocument document;
  tinyxml2::XMLElement* root = document.NewElement("TaskInfo");
  document.InsertEndChild(root);
  AddNumber(root, "TasksCount", sliceCount_);
  AddNumber(root, "ContentLength", contentLength_);
  AddNumber(root, "DownloadTime", downloadTime_);
  for (const std::unique_ptr<CTask>& task : allTasks_) AddTaskElement(root, *task);

  // Positions are read above, so what the barrier makes durable covers them.
  if (saveBarrier_ && !saveBarrier_()) return 0;
  tinyxml2::XMLPrinter printer;
  document.Print(&printer);
  const std::string text(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1));
  return platform::WriteFileAtomically(platform::FromUtf8(taskFilePath_), text) ? 1 : 0;
}

bool CDownloadTaskManager::taskFileExists() const {
  return std::ifstream(PathOf(taskFilePath_), std::ios::binary).is_open();
}

void CDownloadTaskManager::setSaveBarrier(SaveBarrier barrier) {
  saveBarrier_ = std::move(barrier);
}

// ---- Lists ------------------------------------------------------------------------------

CTask* CDownloadTaskManager::getTask() {
  if (todoTasks_.empty()) return nullptr;
  CTask* task = todoTasks_.front();
  todoTasks_.pop_front();
  task->TaskStatus = TaskDispatched;
  dispatchedTasks_.push_back(task);
  return task;
}

int CDownloadTaskManager::addTodoTask(CTask* task) {
  if (task == nullptr) return 0;
  todoTasks_.push_back(task);
  return 1;
}

int CDownloadTaskManager::addDoneTask(CTask* task) {
  if (task == nullptr) return 0;
  dispatchedTasks_.push_back(task);
  return 1;
}

int CDownloadTaskManager::addTask(std::unique_ptr<CTask> task) {
  if (task == nullptr) return 0;
  CTask* added = task.get();
  allTasks_.push_back(std::move(task));
  return added->TaskStatus.load() == TaskDone ? addDoneTask(added) : addTodoTask(added);
}

void CDownloadTaskManager::clearTasks() {
  todoTasks_.clear();
  dispatchedTasks_.clear();
  allTasks_.clear();
  sliceCount_ = 0;
}

void CDownloadTaskManager::logListSizes(const char* what) const {
  LOG(INFO) << " Tasks info, " << what << " ok, total " << allTasks_.size() << ", todo "
            << todoTasks_.size() << ", complete " << dispatchedTasks_.size();
}
