// The rules and the fault queue of a DownloadServer, and the choice of the
// deviation for one request. Internal to the localserver library; not
// thread-safe: its owner serialises the calls.
#pragma once
#include <deque>
#include <vector>

#include "DownloadServer.h"

namespace localserver {

struct Deviation {
  Fault fault;
  Headers headers;
};

class FaultBook {
 public:
  void AddRule(Rule rule);
  void Queue(const std::vector<Fault>& faults);
  void Clear();

  // Counts the request against every rule it matches. The fault is the
  // queue's next one when the request is for a file and the queue is not
  // empty, else that of the first rule whose window holds the request; the
  // headers are that rule's.
  Deviation Pick(const Request& request, bool forFile);

 private:
  struct CountedRule {
    Rule rule;
    int seen = 0;
  };

  std::vector<CountedRule> rules_;
  std::deque<Fault> queue_;
};

}  // namespace localserver
