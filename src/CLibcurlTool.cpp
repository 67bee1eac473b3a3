#include "CLibcurlTool.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string_view>

#include "CDownloadThread.h"
#include "CTask.h"
#include "CurlTls.h"
#include "Logging.h"

namespace {

constexpr char kUserAgentLine[] =
    "User-Agent:Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/62.0.3202.75 Safari/537.36";
constexpr long kMaxRedirects = 5;
// libcurl's default 16 KiB hands the body over in small pieces, each costing a
// take of the write mutex and a write call; a larger buffer lets one socket
// read carry whatever has arrived.
constexpr long kReceiveBufferBytes = 512 * 1024;

struct HeaderList {
  curl_slist* list = nullptr;
  ~HeaderList() { curl_slist_free_all(list); }
};

// Collects a reply into text up to limit bytes in all. Past the limit the
// rest is dropped (header probe) or the transfer ends (bodies).
struct TextSink {
  std::string* text;
  size_t limit;
  bool endAtLimit;
};

size_t AppendText(char* data, size_t size, size_t count, void* userData) {
  auto* sink = static_cast<TextSink*>(userData);
  const size_t bytes = size * count;
  const size_t room = sink->limit - std::min(sink->limit, sink->text->size());
  sink->text->append(data, std::min(bytes, room));
  return bytes > room && sink->endAtLimit ? 0 : bytes;
}

// The first peer-verification result is what a request checks before it
// runs; verification itself is always on.
CURLcode SetTlsOptions(CURL* handle) {
  const CURLcode first = curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  ApplyTlsVerification(handle);
  return first;
}

CURLcode NoHandle() {
  LOG(INFO) << " curl easy init fail !!!";
  return CURLE_FAILED_INIT;
}

// libcurl asks at least once a second, also while nothing arrives.
int EndIfAbandoned(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const CDownloadThread*>(userData)->transferAbandoned() ? 1 : 0;
}

// ---- Header lines -----------------------------------------------------------

bool HasName(std::string_view line, std::string_view name) {
  if (line.size() < name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) !=
        std::tolower(static_cast<unsigned char>(name[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view WithoutLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A signed decimal at the start of text (after blanks); 0 when there is none,
// and the nearest limit when it does not fit. *end (may be null) receives the
// position after the digits, npos without any.
int64_t ReadInt64(std::string_view text, size_t* end = nullptr) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  const size_t digits = at;
  uint64_t value = 0;
  const uint64_t limit = negative ? uint64_t{1} << 63 : std::numeric_limits<int64_t>::max();
  for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
    const uint64_t digit = static_cast<uint64_t>(text[at] - '0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  if (end != nullptr) *end = at == digits ? std::string_view::npos : at;
  if (at == digits) return 0;
  return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
}

// "HTTP/1.1 206 Partial Content": a new response head begins.
void NoteStatusLine(std::string_view line, RangeResponse* response) {
  const size_t blank = line.find(' ');
  const int64_t status = blank == std::string_view::npos ? 0 : ReadInt64(line.substr(blank));
  const int64_t asked = response->requestedFirst;
  response->Reset(asked);
  response->status = static_cast<long>(std::clamp<int64_t>(status, 0, 999));
}

// "Content-Range: bytes FIRST-LAST/TOTAL" (TOTAL may be "*").
void NoteContentRange(std::string_view line, RangeResponse* response) {
  std::string_view value = line.substr(line.find(':') + 1);
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  if (!HasName(value, "bytes ")) return;
  value.remove_prefix(6);
  size_t end = 0;
  const int64_t first = ReadInt64(value, &end);
  if (end == std::string_view::npos || end >= value.size() || value[end] != '-') return;
  response->rangeFirst = first;
  const size_t slash = value.find('/');
  if (slash == std::string_view::npos) return;
  const int64_t total = ReadInt64(value.substr(slash + 1), &end);
  response->rangeTotal = end == std::string_view::npos ? -1 : total;
}

void NoteResponseHead(std::string_view line, RangeResponse* response) {
  if (HasName(line, "HTTP/")) {
    NoteStatusLine(line, response);
  } else if (HasName(line, "Content-Range:")) {
    NoteContentRange(line, response);
  }
}

// Adds one Cloudflare value to the slice's CDN status, in front of it or
// behind it; a combination that only repeats what the length query saw
// says nothing new and is cleared.
void AddCdnValue(CTask* task, const std::string& value, bool inFront) {
  if (task->CdnStatus.empty()) {
    task->CdnStatus = value;
    return;
  }
  const std::string combined =
      inFront ? value + "/" + task->CdnStatus : task->CdnStatus + "/" + value;
  task->CdnStatus = combined == task->CdnProbeStatus ? std::string() : combined;
}

// "CF-RAY: 8a1b2c3d4e5f6789-FRA": the data-centre code after the ray id.
void NoteRay(std::string_view line, CTask* task) {
  const size_t dash = line.find('-', 7);
  if (dash == std::string_view::npos) return;
  AddCdnValue(task, std::string(WithoutLineEnd(line.substr(dash + 1))), true);
}

// "CF-Cache-Status: HIT".
void NoteCacheStatus(std::string_view line, CTask* task) {
  const std::string_view value = line.size() > 17 ? line.substr(17) : std::string_view();
  AddCdnValue(task, std::string(WithoutLineEnd(value)), false);
}

// A range reply must describe the file the slice was cut from.
bool ContentRangeTotalMatches(std::string_view line, const CTask& task) {
  const size_t slash = line.rfind('/');
  if (slash == std::string_view::npos) {
    LOG(INFO) << " HeaderCallback error2: " << std::string(line);
    return false;
  }
  if (ReadInt64(line.substr(slash + 1)) != task.ContentLength) {
    LOG(INFO) << " HeaderCallback error1: " << task.ContentLength << " != " << std::string(line);
    return false;
  }
  return true;
}

// ---- Body bytes ---------------------------------------------------------------

bool IsAskedRange(const RangeResponse& response) {
  if (response.status == 206) {
    return response.rangeFirst >= 0 && response.rangeFirst == response.requestedFirst;
  }
  return response.status == 200 && response.requestedFirst == 0;
}

// Where DownloadedPos stands once every byte up to lastWritten is in the
// file. EndPos means complete, so while the byte at EndPos is still owed the
// slice stays one short of it (an attempt that ends there asks again from
// the byte before, which is merely written twice). Without a known length
// there is no telling whether that byte exists, and EndPos is taken.
int64_t PositionAfter(const CTask& task, int64_t lastWritten, int64_t lastByte, bool lengthKnown) {
  if (lastWritten >= lastByte) return task.EndPos;
  const int64_t next = lastWritten + 1;
  if (next == task.EndPos && lengthKnown) return task.EndPos - 1;
  return next;
}

// Under the write mutex: places received bytes at their offset in the file,
// clipped to the slice. Returns the number of bytes written.
size_t WriteIntoSlice(const char* data, size_t received, CDownloadThread* worker) {
  CTask& task = *worker->currentTask();
  RangeResponse& response = worker->rangeResponse();
  const int64_t offset = (response.status == 206 ? response.rangeFirst : 0) + response.bodyBytes;
  response.bodyBytes += static_cast<int64_t>(received);
  const int64_t length = task.ContentLength > 0 ? task.ContentLength : response.rangeTotal;
  const bool lengthKnown = length > 0;
  // The last slice ends at the length itself, one past the file's last byte.
  const int64_t lastByte = lengthKnown && task.EndPos >= length ? length - 1 : task.EndPos;
  const int64_t room = lastByte - offset + 1;
  if (room <= 0 || worker->sharedFile() == nullptr) return 0;
  const size_t take = static_cast<size_t>(std::min<int64_t>(room, static_cast<int64_t>(received)));
  const size_t written = worker->sharedFile()->WriteAt(offset, data, take);
  if (written > 0) {
    task.DownloadedPos =
        PositionAfter(task, offset + static_cast<int64_t>(written) - 1, lastByte, lengthKnown);
  }
  return written;
}

// ---- Result texts -------------------------------------------------------------

struct ErrorText {
  CURLcode code;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {CURLE_UNSUPPORTED_PROTOCOL, " ProtoControl Unsupport!"},
    {CURLE_FAILED_INIT, " Init Failed!"},
    {CURLE_URL_MALFORMAT, " Curl RemotePath Error"},
    {CURLE_NOT_BUILT_IN, " libcurl InitFailed，Please Try again!"},
    {CURLE_COULDNT_RESOLVE_PROXY, " Cannt resovlve proxy!"},
    {CURLE_COULDNT_RESOLVE_HOST, " cannt resovlve server!"},
    {CURLE_COULDNT_CONNECT, " Curl Connect Server Error"},
    {CURLE_WEIRD_SERVER_REPLY, " FTP服务器非法回复"},
    {CURLE_REMOTE_ACCESS_DENIED, " Acess Denied!"},
    {CURLE_FTP_ACCEPT_FAILED, " FTP连接失败"},
    {CURLE_FTP_WEIRD_PASS_REPLY, " FTP服务器未知回复"},
    {CURLE_FTP_ACCEPT_TIMEOUT, " FTP连接超时"},
    {CURLE_FTP_WEIRD_PASV_REPLY, " Curl unknow error!"},
    {CURLE_FTP_WEIRD_227_FORMAT, " Curl unknow error!"},
    {CURLE_FTP_CANT_GET_HOST, " 内部故障"},
    {CURLE_HTTP2, " HTTP2错误"},
    {CURLE_FTP_COULDNT_SET_TYPE, " FTP获取传输类型失败"},
    {CURLE_PARTIAL_FILE, " 服务器返回文件大小非法"},
    {CURLE_HTTP_RETURNED_ERROR, " HTTP请求错误"},
    {CURLE_WRITE_ERROR, " 接收数据错误"},
    {CURLE_UPLOAD_FAILED, " 上传数据错误"},
    {CURLE_READ_ERROR, " 本地文件读取错误"},
    {CURLE_OUT_OF_MEMORY, " 内存不足"},
    {CURLE_OPERATION_TIMEDOUT, " Curl Time out"},
    {CURLE_FTP_PORT_FAILED, " FTP端口失败"},
    {CURLE_RANGE_ERROR, " 请求的数据范围错误"},
};

}  // namespace

// ---- The tool -------------------------------------------------------------------

void CLibcurlTool::HandleCleanup::operator()(CURL* handle) const { curl_easy_cleanup(handle); }

CLibcurlTool::CLibcurlTool() : handle_(curl_easy_init()) {}

CLibcurlTool::CLibcurlTool(CURL* handle) : handle_(handle) {}

CLibcurlTool::~CLibcurlTool() = default;

CURLcode CLibcurlTool::httpDownloadContent(const std::string& url, int64_t first, int64_t last,
                                           CDownloadThread* worker) {
  CTask* task = worker != nullptr ? worker->currentTask() : nullptr;
  if (task == nullptr) return CURLE_BAD_FUNCTION_ARGUMENT;
  const std::string range = std::to_string(first) + "-" + std::to_string(last);
  if (task->LogFlag != 0) {
    LOG(INFO) << " Request Range: (" << task->TaskId.load() << ", "
              << static_cast<int32_t>(last - first) << ") " << range;
  }
  CURL* handle = handle_.get();
  if (handle == nullptr) return NoHandle();

  curl_easy_reset(handle);
  worker->rangeResponse().Reset(first);
  HeaderList headers;
  headers.list = curl_slist_append(nullptr, kUserAgentLine);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.list);
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_RANGE, range.c_str());
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, downloadFunc);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, worker);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, worker);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &CLibcurlTool::HeaderCallback);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 3L);
  curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, EndIfAbandoned);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, worker);
  const CURLcode tls = SetTlsOptions(handle);
  const CURLcode result = tls != CURLE_OK ? tls : curl_easy_perform(handle);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, nullptr);  // the list dies here
  if (result != CURLE_OK) figureError(result);
  return result;
}

CURLcode CLibcurlTool::httpGet(const std::string& url, std::string* headerText, long* httpStatus) {
  headerText->clear();
  *httpStatus = 0;
  CURL* handle = handle_.get();
  if (handle == nullptr) return NoHandle();

  curl_easy_reset(handle);
  TextSink sink{headerText, kHeaderTextLimit, false};
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(handle, CURLOPT_HEADER, 1L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendText);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
  const CURLcode tls = SetTlsOptions(handle);
  if (tls != CURLE_OK) {
    figureError(tls);
    return tls;
  }
  const CURLcode result = curl_easy_perform(handle);
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, httpStatus);
  if (result != CURLE_OK) figureError(result);
  return result;
}

CURLcode CLibcurlTool::httpGet(const std::string& url, std::string* body) {
  body->clear();
  CURL* handle = handle_.get();
  if (handle == nullptr) return NoHandle();

  curl_easy_reset(handle);
  TextSink sink{body, kReplyBodyLimit, true};
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(handle, CURLOPT_HEADER, 0L);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendText);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, 5L);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
  const CURLcode tls = SetTlsOptions(handle);
  return tls != CURLE_OK ? tls : curl_easy_perform(handle);
}

int CLibcurlTool::HttpPost(const std::string& url, const std::string& body, std::string* response) {
  std::unique_ptr<CURL, HandleCleanup> owned(curl_easy_init());
  CURL* handle = owned.get();
  if (handle == nullptr) return NoHandle();

  TextSink sink{response, response->size() + kReplyBodyLimit, true};
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(handle, CURLOPT_READFUNCTION, static_cast<curl_read_callback>(nullptr));
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendText);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  ApplyTlsVerification(handle);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 8L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, 10L);
  return curl_easy_perform(handle);
}

int CLibcurlTool::figureError(CURLcode code) {
  const auto* found = std::find_if(std::begin(kErrorTexts), std::end(kErrorTexts),
                                   [code](const ErrorText& entry) { return entry.code == code; });
  if (found != std::end(kErrorTexts)) {
    LOG(INFO) << found->text;
  } else {
    LOG(INFO) << " Curl Else Error: " << static_cast<int>(code);
  }
  return 1;
}

size_t CLibcurlTool::HeaderCallback(char* line, size_t size, size_t count, void* userData) {
  const size_t bytes = size * count;
  auto* worker = static_cast<CDownloadThread*>(userData);
  if (line == nullptr || worker == nullptr) return bytes;
  const std::string_view text(line, bytes);
  NoteResponseHead(text, &worker->rangeResponse());
  CTask* task = worker->currentTask();
  if (task == nullptr || task->ContentLength == 0) return bytes;
  if (HasName(text, "CF-RAY:")) {
    NoteRay(text, task);
  } else if (HasName(text, "CF-Cache-Status:")) {
    NoteCacheStatus(text, task);
  } else if (HasName(text, "Content-Range:") && !ContentRangeTotalMatches(text, *task)) {
    return 0;
  }
  return bytes;
}

// ---- Body bytes into the shared file ---------------------------------------------

size_t downloadFunc(char* data, size_t size, size_t count, void* userData) {
  auto* worker = static_cast<CDownloadThread*>(userData);
  CTask* task = worker != nullptr ? worker->currentTask() : nullptr;
  if (task == nullptr || size == 0) return 0;
  const size_t received = size * count;
  const RangeResponse& response = worker->rangeResponse();
  size_t written = 0;
  bool refused = false;
  {
    DownloadWriteLock lock(worker->writeMutex());
    refused = !lock.owned() || !IsAskedRange(response);
    if (!refused) written = WriteIntoSlice(data, received, worker);
  }
  if (refused) {
    LOG(INFO) << " Thread: " << task->TaskId.load() << " Reply refused, status " << response.status
              << ", range from " << response.rangeFirst << ", asked from "
              << response.requestedFirst;
  }
  const size_t elements = written / size;
  if (elements != count) {
    LOG(INFO) << " Thread: " << task->TaskId.load() << " Write Error. Task id："
              << task->TaskId.load() << " Download to:" << task->DownloadedPos.load()
              << " Receive:" << count << " Write:" << elements << " Task EndPos:" << task->EndPos;
  }
  return elements;
}
