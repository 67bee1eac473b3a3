#include "DownloadServer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "ByteRange.h"
#include "FaultBook.h"
#include "ReplyFormat.h"

namespace localserver {
namespace {

constexpr char kConfigurationPath[] = "/queryDownloaderV2";
constexpr char kExtraByte = '!';

Fault MakeFault(Fault::Kind kind, int64_t amount) {
  Fault fault;
  fault.kind = kind;
  fault.amount = amount;
  return fault;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct Redirect {
  std::string to;
  int status = 302;
};

// What a request's path names, copied out of the server's tables.
struct Target {
  enum class Kind { kFile, kRedirect, kConfiguration, kMissing };
  Kind kind = Kind::kMissing;
  ServedFile file;
  Redirect redirect;
  Reply configuration;
};

Reply StatusReply(int status) { return Reply::Status(status, ReasonPhrase(status)); }

std::string ContentRange(int64_t first, int64_t last, int64_t total) {
  return "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
         std::to_string(total);
}

// The answer for a file, before the delivery faults.
Reply FileReply(const Request& request, const ServedFile& file, const Fault& fault) {
  if (request.method != "GET" && request.method != "HEAD") {
    Reply refused = StatusReply(405);
    refused.headers.emplace_back("Allow", "GET, HEAD");
    return refused;
  }
  const Content& content = fault.kind == Fault::Kind::kChangedBody ? fault.content : file.content;
  const int64_t size = content.Size();
  if (size < 0) return StatusReply(404);
  const int64_t total = fault.kind == Fault::Kind::kWrongTotal ? fault.amount : size;
  const ByteRange range = JudgeRange(request.Header("Range"), size);
  Reply reply;
  reply.headers.emplace_back("Accept-Ranges", "bytes");
  reply.headers.insert(reply.headers.end(), file.headers.begin(), file.headers.end());
  if (range.kind == ByteRange::Kind::kUnsatisfiable) {
    reply.status = 416;
    reply.body = ReasonPhrase(416);
    reply.headers.emplace_back("Content-Range", "bytes */" + std::to_string(total));
    return reply;
  }
  const bool part = range.kind == ByteRange::Kind::kPart;
  const int64_t first = part ? range.first : 0;
  const int64_t count = part ? range.Length() : size;
  reply.status = part ? 206 : 200;
  reply.headers.emplace_back("Content-Type", "application/octet-stream");
  if (part || (fault.kind == Fault::Kind::kWrongTotal && size > 0)) {
    reply.headers.emplace_back("Content-Range", ContentRange(first, first + count - 1, total));
  }
  reply.bodySource = content.Read(first, count);
  reply.bodyLength = count;
  if (fault.kind == Fault::Kind::kExtraBytes && fault.amount > 0) {
    reply.bodySource = Concatenate(std::move(reply.bodySource), Filler(fault.amount, kExtraByte));
    reply.bodyLength += fault.amount;
  }
  return reply;
}

Reply RedirectReply(const Request& request, const Redirect& redirect, const std::string& base) {
  Reply reply = StatusReply(redirect.status);
  std::string location = redirect.to;
  if (!location.empty() && location[0] == '/') {
    const std::string host = request.Header("Host");
    location = (host.empty() ? base : base.substr(0, base.find("://") + 3) + host) + location;
  }
  reply.headers.emplace_back("Location", location);
  return reply;
}

// The faults that change how any answer is delivered rather than what it is.
void ApplyDeliveryFault(const Fault& fault, Reply* reply) {
  if (fault.kind == Fault::Kind::kDropAfter)
    reply->truncateBodyAt = std::max<int64_t>(fault.amount, 0);
  if (fault.kind == Fault::Kind::kStall) reply->stallAfter = std::max<int64_t>(fault.amount, 0);
}

}  // namespace

Fault Fault::None() { return Fault(); }
Fault Fault::Status(int status) {
  Fault fault = MakeFault(Kind::kStatus, 0);
  fault.status = status;
  return fault;
}
Fault Fault::NotFound() { return Status(404); }
Fault Fault::WrongTotal(int64_t total) { return MakeFault(Kind::kWrongTotal, total); }
Fault Fault::ExtraBytes(int64_t count) { return MakeFault(Kind::kExtraBytes, count); }
Fault Fault::DropAfter(int64_t bodyBytes) { return MakeFault(Kind::kDropAfter, bodyBytes); }
Fault Fault::StallAfter(int64_t bodyBytes) { return MakeFault(Kind::kStall, bodyBytes); }
Fault Fault::ChangedBody(Content content) {
  Fault fault = MakeFault(Kind::kChangedBody, 0);
  fault.content = std::move(content);
  return fault;
}

Rule Rule::For(std::string method, std::string path, Fault fault) {
  Rule rule;
  rule.method = std::move(method);
  rule.path = std::move(path);
  rule.fault = std::move(fault);
  return rule;
}

const char* FaultName(Fault::Kind kind) {
  switch (kind) {
    case Fault::Kind::kNone:
      return "none";
    case Fault::Kind::kStatus:
      return "status";
    case Fault::Kind::kWrongTotal:
      return "wrong total";
    case Fault::Kind::kExtraBytes:
      return "extra bytes";
    case Fault::Kind::kDropAfter:
      return "drop";
    case Fault::Kind::kStall:
      return "stall";
    case Fault::Kind::kChangedBody:
      return "changed body";
  }
  return "unknown";
}

class DownloadServer::Impl {
 public:
  explicit Impl(std::unique_ptr<LocalHttpServer> server) : server_(std::move(server)) {
    server_->SetHandler([this](const Request& request) { return Answer(request); });
  }
  // The server's threads call into this object; they end first.
  ~Impl() { server_->Stop(); }

  LocalHttpServer& Server() { return *server_; }

  void AddFile(const std::string& path, ServedFile file) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_[path] = std::move(file);
  }

  void RemoveFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_.erase(path);
  }

  void AddRedirect(const std::string& from, const std::string& to, int status) {
    std::lock_guard<std::mutex> lock(mutex_);
    redirects_[from] = Redirect{to, status};
  }

  void SetRateLimit(int64_t bytesPerSecond) {
    std::lock_guard<std::mutex> lock(mutex_);
    bytesPerSecond_ = std::max<int64_t>(bytesPerSecond, 0);
  }

  void AddRule(Rule rule) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.AddRule(std::move(rule));
  }

  void QueueFaults(const std::vector<Fault>& faults) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.Queue(faults);
  }

  void ClearFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.Clear();
  }

  void SetConfigurationReply(int status, std::string body) {
    std::lock_guard<std::mutex> lock(mutex_);
    configuration_ = Reply::Status(status, std::move(body));
  }

  std::vector<std::string> ConfigurationQueries() const {
    std::vector<std::string> queries;
    for (const Request& request : server_->Requests()) {
      if (EndsWith(request.Path(), kConfigurationPath)) queries.push_back(request.Query());
    }
    return queries;
  }

  std::vector<Exchange> Exchanges() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<Exchange>(exchanges_.begin(), exchanges_.end());
  }

  int64_t BodyBytesServed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytesServed_;
  }

  bool WaitForExchanges(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return exchangeFinished_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return finishedCount_ >= count; });
  }

  void ClearExchanges() {
    std::lock_guard<std::mutex> lock(mutex_);
    firstExchangeId_ += exchanges_.size();
    exchanges_.clear();
    finishedCount_ = 0;
    bytesServed_ = 0;
  }

 private:
  // Runs on the connection's thread.
  Reply Answer(const Request& request) {
    Target target;
    Deviation deviation;
    int64_t bytesPerSecond = 0;
    size_t id = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      target = Find(request.Path());
      deviation = faults_.Pick(request, target.kind == Target::Kind::kFile);
      bytesPerSecond = target.kind == Target::Kind::kFile && target.file.bytesPerSecond >= 0
                           ? target.file.bytesPerSecond
                           : bytesPerSecond_;
      id = firstExchangeId_ + exchanges_.size();
      exchanges_.push_back(Exchange{request, 0, deviation.fault.kind, -1});
    }
    Reply reply = Compose(request, target, deviation.fault);
    reply.headers.insert(reply.headers.end(), deviation.headers.begin(), deviation.headers.end());
    ApplyDeliveryFault(deviation.fault, &reply);
    reply.bytesPerSecond = bytesPerSecond;
    reply.afterSending = [this, id](int64_t bodyBytes) { Finish(id, bodyBytes); };
    std::lock_guard<std::mutex> lock(mutex_);
    if (id >= firstExchangeId_) exchanges_[id - firstExchangeId_].status = reply.status;
    return reply;
  }

  // Under mutex_.
  Target Find(const std::string& path) const {
    Target target;
    const auto file = files_.find(path);
    const auto redirect = redirects_.find(path);
    if (file != files_.end()) {
      target.kind = Target::Kind::kFile;
      target.file = file->second;
    } else if (redirect != redirects_.end()) {
      target.kind = Target::Kind::kRedirect;
      target.redirect = redirect->second;
    } else if (EndsWith(path, kConfigurationPath)) {
      target.kind = Target::Kind::kConfiguration;
      target.configuration = configuration_;
    }
    return target;
  }

  Reply Compose(const Request& request, const Target& target, const Fault& fault) const {
    if (fault.kind == Fault::Kind::kStatus) return StatusReply(fault.status);
    switch (target.kind) {
      case Target::Kind::kFile:
        return FileReply(request, target.file, fault);
      case Target::Kind::kRedirect:
        return RedirectReply(request, target.redirect, server_->BaseUrl());
      case Target::Kind::kConfiguration:
        return target.configuration;
      case Target::Kind::kMissing:
        break;
    }
    return StatusReply(404);
  }

  void Finish(size_t id, int64_t bodyBytes) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (id < firstExchangeId_) return;
      exchanges_[id - firstExchangeId_].bodyBytes = bodyBytes;
      ++finishedCount_;
      bytesServed_ += bodyBytes;
    }
    exchangeFinished_.notify_all();
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable exchangeFinished_;
  std::map<std::string, ServedFile> files_;
  std::map<std::string, Redirect> redirects_;
  Reply configuration_ = StatusReply(404);
  int64_t bytesPerSecond_ = 0;
  FaultBook faults_;
  std::deque<Exchange> exchanges_;
  size_t firstExchangeId_ = 0;
  size_t finishedCount_ = 0;
  int64_t bytesServed_ = 0;
  // Last: its threads use the members above until it has stopped.
  std::unique_ptr<LocalHttpServer> server_;
};

DownloadServer::DownloadServer()
    : impl_(std::make_unique<Impl>(std::make_unique<LocalHttpServer>())) {}
DownloadServer::DownloadServer(const TlsFiles& tls)
    : impl_(std::make_unique<Impl>(std::make_unique<LocalHttpServer>(tls))) {}
DownloadServer::~DownloadServer() = default;

bool DownloadServer::Start() { return impl_->Server().Start(); }
void DownloadServer::Stop() { impl_->Server().Stop(); }
std::string DownloadServer::Url(const std::string& path) const {
  return impl_->Server().BaseUrl() + path;
}
LocalHttpServer& DownloadServer::Server() { return impl_->Server(); }

void DownloadServer::AddFile(const std::string& path, ServedFile file) {
  impl_->AddFile(path, std::move(file));
}
void DownloadServer::AddFile(const std::string& path, Content content) {
  ServedFile file;
  file.content = std::move(content);
  impl_->AddFile(path, std::move(file));
}
void DownloadServer::RemoveFile(const std::string& path) { impl_->RemoveFile(path); }
void DownloadServer::AddRedirect(const std::string& from, const std::string& to, int status) {
  impl_->AddRedirect(from, to, status);
}
void DownloadServer::AddRedirectChain(const std::string& from, int hops, const std::string& to) {
  std::string current = from;
  for (int hop = 2; hop <= hops; ++hop) {
    const std::string next = from + "/" + std::to_string(hop);
    impl_->AddRedirect(current, next, 302);
    current = next;
  }
  if (hops >= 1) impl_->AddRedirect(current, to, 302);
}
void DownloadServer::SetRateLimit(int64_t bytesPerSecond) { impl_->SetRateLimit(bytesPerSecond); }
void DownloadServer::AddRule(Rule rule) { impl_->AddRule(std::move(rule)); }
void DownloadServer::QueueFaults(const std::vector<Fault>& faults) { impl_->QueueFaults(faults); }
void DownloadServer::ClearFaults() { impl_->ClearFaults(); }
void DownloadServer::SetConfigurationReply(int status, std::string body) {
  impl_->SetConfigurationReply(status, std::move(body));
}
std::vector<std::string> DownloadServer::ConfigurationQueries() const {
  return impl_->ConfigurationQueries();
}
std::vector<Exchange> DownloadServer::Exchanges() const { return impl_->Exchanges(); }
int64_t DownloadServer::BodyBytesServed() const { return impl_->BodyBytesServed(); }
bool DownloadServer::WaitForExchanges(size_t count, int timeoutMs) const {
  return impl_->WaitForExchanges(count, timeoutMs);
}
void DownloadServer::ClearExchanges() { impl_->ClearExchanges(); }

}  // namespace localserver
