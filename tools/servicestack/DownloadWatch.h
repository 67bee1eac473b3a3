// Prints a line for every answer of the download host once it is over:
// "download GET /release/lumaclear_setup.exe 0 bytes -> 206  range
// bytes=0-99, 100 bytes sent". The DownloadServer answers on its own, so a
// thread of this object waits for its finished exchanges and prints them as
// they finish. The server's exchange list is kept for the whole run (a
// request head each, never cleared: clearing would lose answers still in
// progress), and each print copies it, which suits a demo or a test run, not
// millions of requests. Start and Stop from one thread.
#pragma once
#include <atomic>
#include <thread>

#include "DownloadServer.h"
#include "RequestLog.h"

namespace demoservices {

class DownloadWatch {
 public:
  DownloadWatch(localserver::DownloadServer& server, RequestLog& log);
  ~DownloadWatch();
  DownloadWatch(const DownloadWatch&) = delete;
  DownloadWatch& operator=(const DownloadWatch&) = delete;

  void Start();
  // Prints what has finished meanwhile and ends the thread; returns within
  // a fraction of a second.
  void Stop();

 private:
  void Run();
  // Prints the finished exchanges not printed yet.
  void Sweep();

  localserver::DownloadServer& server_;
  RequestLog& log_;
  std::atomic<bool> stopping_{false};
  std::vector<bool> printed_;  // by exchange index; the watch thread's own
  size_t finished_ = 0;        // exchanges printed
  std::thread thread_;
};

}  // namespace demoservices
