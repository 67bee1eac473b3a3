// CNetworkCommunicate: the report SDK's sender. It owns the send queue and
// the history of keys, refuses repeats, writes every taken record to the
// backlog, and posts the queue's records one at a time on its own thread,
// three attempts per turn, removing each from the backlog once its service
// has accepted it (GA4 events: status 204; funnel records: status 200).
//
// Only one process at a time sends a backlog's records: the sender holds the
// backlog's owner lock while it sends; a process that cannot take it still
// takes and persists records and sends them once the lock is free.
//
// The singleton (Instance) is built on first use, starts its thread then and
// lives until the process ends. Tests build their own objects with short
// timings; the destructor stops and joins the thread. Offer, Pending and
// WaitUntilDelivered may be called from any thread.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/FileLock.h"
#include "reportsdk/Backlog.h"
#include "reportsdk/CManagement.h"

namespace reportsdk {

struct SenderTiming {
  int idlePollMs = 500;        // an idle sender looks at the queue this often
  int retryPauseMs = 2000;     // pause after every failed attempt
  int drainPollMs = 5000;      // the drain run looks at the queue this often
  int drainLimitMs = 180000;   // the drain run gives up after this long
  long connectTimeoutS = 20;   // a post that cannot connect fails after this long
  long transferTimeoutS = 60;  // a post that hangs fails after this long
};

class CNetworkCommunicate {
 public:
  static CNetworkCommunicate& Instance();
  // The timing of the process's sender: the defaults, or for tests of whole
  // programs the environment variable VORNIK_REPORT_TIMING, e.g.
  // "retry_pause=50,drain_limit=3000,idle_poll=50,drain_poll=100".
  static SenderTiming TimingFromEnvironment();

  // Stops the process's sender when it was ever started (see Stop).
  static void StopInstanceIfRunning(int timeoutMs);

  CNetworkCommunicate(CManagement& management, const SenderTiming& timing);
  ~CNetworkCommunicate();
  CNetworkCommunicate(const CNetworkCommunicate&) = delete;
  CNetworkCommunicate& operator=(const CNetworkCommunicate&) = delete;

  // Takes a record: 0 queued, -1 refused as the eleventh or later record of
  // the same kind, category and action within 60 seconds. With
  // writeToBacklog the record is also written to the backlog (status 0).
  int Offer(const std::string& key, const std::string& content, bool replayed, bool writeToBacklog);

  // Takes the backlog's owner lock without waiting (true when held), or
  // waiting up to timeoutMs.
  bool TakeOwnership();
  bool WaitForOwnership(int timeoutMs);

  // Records queued or being posted.
  size_t Pending();
  // Blocks until nothing is pending or limitMs has passed, looking every
  // pollMs (and at once when the sender finishes a record). True when empty.
  bool WaitUntilDelivered(int pollMs, int limitMs);

  // One POST; the HTTP status, 0 when no response came.
  int PostData(const std::string& url, const char* body, size_t length);

  // Stops the thread: a post under way is cut short and its record stays in
  // the backlog. Waits at most timeoutMs for the thread.
  void Stop(int timeoutMs);

  const SenderTiming& Timing() const { return timing_; }
  static constexpr int kRepeatLimit = 10;
  static constexpr int kRepeatWindowSeconds = 60;

 private:
  struct Item {
    bool replayed = false;
    std::string key;
    int kind = 0;  // 1 GA4, 2 funnel, 0 unknown
    std::string content;
  };

  int CountRepeats(const std::string& key);
  void Run();
  bool NextItem(Item* item);
  bool Deliver(const Item& item);
  bool Attempt(const Item& item);
  std::string FunnelUrl() const;
  bool PauseUnlessStopped(int ms);

  CManagement& management_;
  SenderTiming timing_;

  std::mutex mutex_;  // guards the queue, the history, the backlog writes and the flags
  std::condition_variable wake_;
  std::deque<Item> queue_;
  std::list<std::string> history_;
  bool inFlight_ = false;
  std::atomic<bool> stop_{false};

  std::mutex ownerMutex_;
  std::unique_ptr<platform::FileLock> owner_;
  std::wstring ownerPath_;

  std::thread thread_;
  std::condition_variable finishedSignal_;  // with mutex_
  bool finished_ = false;
};

}  // namespace reportsdk
