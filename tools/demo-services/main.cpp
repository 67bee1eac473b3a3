// vornik-demo-services FOLDER: the analytics services on a local TLS server,
// for the demo. Makes a throw-away CA and the services file in FOLDER, prints
// "services: <path of the services file>" once it serves, then one line per
// request received, and runs until SIGTERM or SIGINT; then it stops and ends
// with 0. Point VORNIK_SERVICES at the printed file.
#include <pthread.h>
#include <signal.h>

#include <iostream>
#include <mutex>

#include "LocalCollector.h"

namespace {

using localserver::LocalCollector;
using localserver::Reply;
using localserver::Request;

sigset_t EndingSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  return signals;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vornik-demo-services FOLDER\n";
    return 2;
  }
  // Blocked before any thread starts, so every server thread inherits the
  // mask and only sigwait below takes the ending signals. A shell starts
  // background jobs with SIGINT ignored; an ignored signal never reaches
  // sigwait, hence the default dispositions first.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  const sigset_t ending = EndingSignals();
  pthread_sigmask(SIG_BLOCK, &ending, nullptr);

  LocalCollector collector(argv[1]);
  std::mutex output;
  collector.Server().SetHandler([&output](const Request& request) {
    const Reply reply = LocalCollector::DefaultReply(request);
    std::lock_guard<std::mutex> lock(output);
    std::cout << request.method << " " << request.target << " " << request.body.size()
              << " bytes -> " << reply.status << std::endl;
    return reply;
  });
  {
    std::lock_guard<std::mutex> lock(output);
    if (!collector.Start()) {
      std::cerr << "vornik-demo-services: cannot start the services in " << argv[1] << "\n";
      return 1;
    }
    std::cout << "services: " << collector.ServicesFile() << std::endl;
  }
  int received = 0;
  sigwait(&ending, &received);
  collector.Stop();
  return 0;
}
