#include "platform/Console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <mutex>

namespace platform {
namespace {

std::mutex g_consoleMutex;
bool g_detached = false;
int g_savedStdout = -1;  // the original fd 1 while detached; -1 when fd 1 was closed

void FlushStandardOutput() {
  std::cout.flush();
  std::fflush(stdout);
}

void Dup2Retrying(int from, int to) {
  while (dup2(from, to) < 0 && errno == EINTR) {
  }
}

}  // namespace

void DetachStandardOutput() {
  std::lock_guard<std::mutex> lock(g_consoleMutex);
  if (g_detached) return;
  FlushStandardOutput();
  g_savedStdout = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) {
    if (g_savedStdout >= 0) close(g_savedStdout);
    g_savedStdout = -1;
    return;
  }
  Dup2Retrying(null, STDOUT_FILENO);  // dup2 clears close-on-exec on fd 1, as it should be
  close(null);
  g_detached = true;
}

void AllocConsole() {
  std::lock_guard<std::mutex> lock(g_consoleMutex);
  if (!g_detached) return;
  FlushStandardOutput();
  if (g_savedStdout >= 0) {
    Dup2Retrying(g_savedStdout, STDOUT_FILENO);
    close(g_savedStdout);
  }
  g_savedStdout = -1;
  g_detached = false;
}

}  // namespace platform
