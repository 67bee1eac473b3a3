#include "reportsdk/CNetworkCommunicate.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "CurlTls.h"
#include "DeploymentValues.h"
#include "reportsdk/RecordKey.h"

namespace reportsdk {
namespace {

struct CurlHandle {
  CURL* handle = curl_easy_init();
  ~CurlHandle() {
    if (handle != nullptr) curl_easy_cleanup(handle);
  }
};

struct HeaderList {
  curl_slist* list = nullptr;
  ~HeaderList() { curl_slist_free_all(list); }
  void Add(const char* header) { list = curl_slist_append(list, header); }
};

size_t CollectResponse(char* data, size_t size, size_t count, void* response) {
  static_cast<std::string*>(response)->append(data, size * count);
  return size * count;
}

int AbortWhenStopping(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<std::atomic<bool>*>(stop)->load() ? 1 : 0;
}

int KindOf(const std::string& content) {
  if (content.find("source_type") != std::string::npos &&
      content.find("cross_end_id") != std::string::npos) {
    return 2;
  }
  if (content.find("&tid=") != std::string::npos && content.find("&en=") != std::string::npos) {
    return 1;
  }
  return 0;
}

}  // namespace

SenderTiming CNetworkCommunicate::TimingFromEnvironment() {
  SenderTiming timing;
  const char* text = std::getenv("VORNIK_REPORT_TIMING");
  if (text == nullptr) return timing;
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    const size_t equals = item.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = item.substr(0, equals);
    const int value = std::atoi(item.c_str() + equals + 1);
    if (value < 0) continue;
    if (name == "idle_poll") timing.idlePollMs = value;
    if (name == "retry_pause") timing.retryPauseMs = value;
    if (name == "drain_poll") timing.drainPollMs = value;
    if (name == "drain_limit") timing.drainLimitMs = value;
  }
  return timing;
}

namespace {
std::atomic<CNetworkCommunicate*> g_instance{nullptr};
}  // namespace

CNetworkCommunicate& CNetworkCommunicate::Instance() {
  // Never destroyed: its thread runs for the life of the process.
  static CNetworkCommunicate* instance = [] {
    curl_global_init(CURL_GLOBAL_ALL);
    auto* created = new CNetworkCommunicate(CManagement::Instance(), TimingFromEnvironment());
    g_instance = created;
    return created;
  }();
  return *instance;
}

void CNetworkCommunicate::StopInstanceIfRunning(int timeoutMs) {
  CNetworkCommunicate* instance = g_instance.load();
  if (instance != nullptr) instance->Stop(timeoutMs);
}

CNetworkCommunicate::CNetworkCommunicate(CManagement& management, const SenderTiming& timing)
    : management_(management), timing_(timing) {
  thread_ = std::thread(&CNetworkCommunicate::Run, this);
}

CNetworkCommunicate::~CNetworkCommunicate() { Stop(60000); }

void CNetworkCommunicate::Stop(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  stop_ = true;
  wake_.notify_all();
  const bool ended = finishedSignal_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                              [this] { return finished_; });
  lock.unlock();
  if (!thread_.joinable()) return;
  if (ended) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

int CNetworkCommunicate::CountRepeats(const std::string& key) {
  const ParsedKey added = ParseRecordKey(key);
  int count = 0;
  for (auto it = history_.end(); it != history_.begin();) {
    --it;
    const ParsedKey earlier = ParseRecordKey(*it);
    const int64_t difference = added.timestampMs - earlier.timestampMs;
    if ((difference < 0 ? -difference : difference) / 1000 > kRepeatWindowSeconds) {
      history_.erase(history_.begin(), std::next(it));
      break;
    }
    if (earlier.prefix == added.prefix && earlier.rest == added.rest) ++count;
  }
  return count;
}

int CNetworkCommunicate::Offer(const std::string& key, const std::string& content, bool replayed,
                               bool writeToBacklog) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int repeats = CountRepeats(key);
  history_.push_back(key);
  if (repeats > kRepeatLimit) {
    management_.Log("Detect repeat %d, more than %d within %d seconds", repeats, kRepeatLimit,
                    kRepeatWindowSeconds);
    return -1;
  }
  queue_.push_back(Item{replayed, key, KindOf(content), content});
  if (writeToBacklog) {
    const std::wstring path = management_.BacklogPath();
    if (!path.empty()) Backlog(path).Update(key, content, 0);
  }
  wake_.notify_all();
  return 0;
}

bool CNetworkCommunicate::TakeOwnership() {
  std::lock_guard<std::mutex> lock(ownerMutex_);
  if (owner_ && owner_->Held()) return true;
  const std::wstring backlog = management_.BacklogPath();
  if (backlog.empty()) return false;
  if (!owner_ || ownerPath_ != backlog + L".owner") {
    ownerPath_ = backlog + L".owner";
    owner_ = std::make_unique<platform::FileLock>(ownerPath_);
  }
  return owner_->TryLock();
}

bool CNetworkCommunicate::WaitForOwnership(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!TakeOwnership()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::unique_lock<std::mutex> lock(mutex_);
    // The holder is another process, which announces nothing: look again soon.
    wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stop_.load(); });
    if (stop_) return false;
  }
  return true;
}

size_t CNetworkCommunicate::Pending() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size() + (inFlight_ ? 1 : 0);
}

bool CNetworkCommunicate::WaitUntilDelivered(int pollMs, int limitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (queue_.empty() && !inFlight_) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    const auto wait = std::min<std::chrono::steady_clock::duration>(
        std::chrono::milliseconds(pollMs), deadline - now);
    wake_.wait_for(lock, wait);
  }
}

bool CNetworkCommunicate::NextItem(Item* item) {
  for (;;) {
    const bool owned = TakeOwnership();
    std::unique_lock<std::mutex> lock(mutex_);
    if (stop_) return false;
    if (owned && !queue_.empty()) {
      *item = std::move(queue_.front());
      queue_.pop_front();
      inFlight_ = true;
      return true;
    }
    wake_.wait_for(lock, std::chrono::milliseconds(timing_.idlePollMs));
    if (stop_) return false;
  }
}

void CNetworkCommunicate::Run() {
  Item item;
  while (NextItem(&item)) {
    const bool delivered = Deliver(item);
    std::lock_guard<std::mutex> lock(mutex_);
    if (delivered) {
      const std::wstring path = management_.BacklogPath();
      if (!path.empty()) Backlog(path).Update(item.key, item.content, 2);
    } else {
      queue_.push_back(std::move(item));
    }
    inFlight_ = false;
    wake_.notify_all();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  finished_ = true;
  finishedSignal_.notify_all();
}

bool CNetworkCommunicate::PauseUnlessStopped(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
  return !stop_;
}

bool CNetworkCommunicate::Deliver(const Item& item) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (Attempt(item)) return true;
    if (!PauseUnlessStopped(timing_.retryPauseMs)) return false;
  }
  return false;
}

std::string CNetworkCommunicate::FunnelUrl() const {
  if (management_.TestEnvironment()) {
    return deployment::BaseUrl(deployment::Service::kTestCollector) + "/collector";
  }
  return deployment::BaseUrl(deployment::Service::kCollector) + "/collect";
}

bool CNetworkCommunicate::Attempt(const Item& item) {
  switch (item.kind) {
    case 1:
      return PostData(item.content, "", 0) == 204;
    case 2:
      return PostData(FunnelUrl(), item.content.data(), item.content.size()) == 200;
    default:
      return false;
  }
}

int CNetworkCommunicate::PostData(const std::string& url, const char* body, size_t length) {
  CurlHandle curl;
  if (curl.handle == nullptr) return 0;
  HeaderList headers;
  headers.Add("User-Agent:PostmanRuntime/7.29.2");
  headers.Add("Accept:*/*");
  headers.Add("Accept-Encoding:gzip, deflate, br");
  headers.Add("Connection:keep-alive");
  headers.Add("Content-Type:application/json; charset=utf-8");
  std::string response;
  const std::string proxy = management_.Proxy();
  CURL* handle = curl.handle;
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.list);
  curl_easy_setopt(handle, CURLOPT_POST, 1L);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body);
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_HEADER, 1L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, CollectResponse);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
  ApplyTlsVerification(handle);
  if (!proxy.empty()) curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());
  // Bounded, so that one dead server cannot stall the sender for good; and
  // cut short when the sender stops.
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, timing_.connectTimeoutS);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, timing_.transferTimeoutS);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, AbortWhenStopping);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &stop_);
  const CURLcode result = curl_easy_perform(handle);
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (result != CURLE_OK || (status != 200 && status != 204)) {
    management_.Log("PostDataError: %d, %s, %d", static_cast<int>(result),
                    curl_easy_strerror(result), static_cast<int>(status));
  }
  return static_cast<int>(status);
}

}  // namespace reportsdk
