// vornik-demo-services FOLDER [options]: every remote service of the
// downloader on local TLS servers with a throw-away CA (DemoServices.h), for
// the demo and the tests; tools/demo-services starts and stops it. Prints
// "pid: N" first, what serves where, then "services: <path of the services
// file>" once every server listens, then one line per request received, and runs until SIGTERM
// or SIGINT; then it stops and ends with 0. Ends with 2 for a bad command
// line and 1 when the services cannot start. Point VORNIK_SERVICES at the
// printed file. --help prints the options.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "DemoOptions.h"
#include "DemoServices.h"
#include "RequestLog.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"

namespace {

using demoservices::DemoOptions;

sigset_t EndingSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  return signals;
}

// The signed test installer as the build lays it out beside this program.
std::string InstallerBesideProgram() {
  return platform::ToUtf8(platform::GetModuleFolder()) +
         "product-installer/vornik-product-installer";
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::cout << demoservices::DemoUsage();
    return 0;
  }
  // First, so that the start script knows whom to watch even when the
  // command line is refused.
  std::cout << "pid: " << getpid() << std::endl;
  DemoOptions options;
  std::string error;
  if (!demoservices::ParseDemoOptions(arguments, &options, &error)) {
    std::cerr << "vornik-demo-services: " << error << "\n" << demoservices::DemoUsage();
    return 2;
  }
  if (options.installer.empty()) options.installer = InstallerBesideProgram();
  // Blocked before any thread starts, so every server thread inherits the
  // mask and only sigwait below takes the ending signals. A shell starts
  // background jobs with SIGINT ignored; an ignored signal never reaches
  // sigwait, hence the default dispositions first.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  const sigset_t ending = EndingSignals();
  pthread_sigmask(SIG_BLOCK, &ending, nullptr);

  demoservices::RequestLog log(std::cout);
  demoservices::DemoServices services(options, log);
  if (!services.Start(&error)) {
    std::cerr << "vornik-demo-services: " << error << "\n";
    return 1;
  }
  for (const std::string& line : services.Announcement()) log.Print(line);
  log.Print("services: " + services.ServicesFile());
  int received = 0;
  sigwait(&ending, &received);
  services.Stop();
  log.Print("stopped");
  return 0;
}
