// The C entry: hands the command line to wWinMain as Windows would, without
// the program name.
#include <exception>

#include "Common/wWndMain.h"
#include "Logging.h"
#include "platform/Console.h"
#include "platform/ProcessCommandLine.h"

int main(int argc, char** argv) {
  // A windowed program has no standard output until it opens a console.
  platform::DetachStandardOutput();
  try {
    return wWinMain(nullptr, nullptr, platform::JoinArguments(argc, argv), 1);
  } catch (const std::exception& error) {
    // Every path of the entry ends with 0; an escaped exception is a fault to log.
    LOG(INFO) << " unexpected exception at the entry: " << error.what();
  }
  return 0;
}
