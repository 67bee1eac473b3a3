#include "DownloadWatch.h"

namespace demoservices {
namespace {

// How long the thread waits for an answer before it looks at the stop flag.
constexpr int kWakeMs = 100;

std::string Note(const localserver::Exchange& exchange) {
  std::string note;
  const std::string range = exchange.request.Header("Range");
  if (!range.empty()) note += "range " + range + ", ";
  note += std::to_string(exchange.bodyBytes) + " bytes sent";
  if (exchange.fault != localserver::Fault::Kind::kNone) {
    note += std::string(", fault ") + localserver::FaultName(exchange.fault);
  }
  return note;
}

}  // namespace

DownloadWatch::DownloadWatch(localserver::DownloadServer& server, RequestLog& log)
    : server_(server), log_(log) {}

DownloadWatch::~DownloadWatch() { Stop(); }

void DownloadWatch::Start() {
  if (thread_.joinable()) return;
  stopping_ = false;
  thread_ = std::thread(&DownloadWatch::Run, this);
}

void DownloadWatch::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  thread_.join();
}

void DownloadWatch::Run() {
  while (!stopping_) {
    if (server_.WaitForExchanges(finished_ + 1, kWakeMs)) Sweep();
  }
  Sweep();
}

void DownloadWatch::Sweep() {
  const std::vector<localserver::Exchange> exchanges = server_.Exchanges();
  printed_.resize(exchanges.size(), false);
  for (size_t i = 0; i < exchanges.size(); ++i) {
    if (printed_[i] || exchanges[i].bodyBytes < 0) continue;
    log_.Request("download", exchanges[i].request, exchanges[i].status, Note(exchanges[i]));
    printed_[i] = true;
    ++finished_;
  }
}

}  // namespace demoservices
