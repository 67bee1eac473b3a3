// The C entry: hands the command line to wWinMain as Windows would, without
// the program name.
#include "Common/wWndMain.h"
#include "platform/Console.h"
#include "platform/ProcessCommandLine.h"

int main(int argc, char** argv) {
  // A windowed program has no standard output until it opens a console.
  platform::DetachStandardOutput();
  return wWinMain(nullptr, nullptr, platform::JoinArguments(argc, argv), 1);
}
