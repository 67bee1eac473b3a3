#include "FaultBook.h"

#include <utility>

#include "ByteRange.h"

namespace localserver {
namespace {

bool Matches(const Rule& rule, const Request& request) {
  if (!rule.method.empty() && rule.method != request.method) return false;
  if (!rule.path.empty() && rule.path != request.Path()) return false;
  return rule.rangeFirst < 0 || rule.rangeFirst == RangeFirstByte(request.Header("Range"));
}

bool InWindow(const Rule& rule, int seen) {
  return seen > rule.skip && (rule.times < 0 || seen - rule.skip <= rule.times);
}

}  // namespace

void FaultBook::AddRule(Rule rule) { rules_.push_back(CountedRule{std::move(rule), 0}); }

void FaultBook::Queue(const std::vector<Fault>& faults) {
  queue_.insert(queue_.end(), faults.begin(), faults.end());
}

void FaultBook::Clear() {
  rules_.clear();
  queue_.clear();
}

Deviation FaultBook::Pick(const Request& request, bool forFile) {
  Deviation deviation;
  bool ruled = false;
  for (CountedRule& counted : rules_) {
    if (!Matches(counted.rule, request)) continue;
    ++counted.seen;
    if (ruled || !InWindow(counted.rule, counted.seen)) continue;
    ruled = true;
    deviation.fault = counted.rule.fault;
    deviation.headers = counted.rule.headers;
  }
  if (forFile && !queue_.empty()) {
    deviation.fault = std::move(queue_.front());
    queue_.pop_front();
  }
  return deviation;
}

}  // namespace localserver
