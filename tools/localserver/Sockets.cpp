#include "Sockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace localserver {
namespace {

constexpr int kLingerMs = 1000;
constexpr size_t kLingerMaxBytes = 1024 * 1024;

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

void CloseAndForget(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

int BoundSocket(int port, int extraFlags) {
  Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | extraFlags, 0));
  if (fd.Get() < 0) return -1;
  const int on = 1;
  setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in address = Loopback(port);
  if (bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return -1;
  return fd.Release();
}

int OpenListener(int port) {
  Fd fd(BoundSocket(port, SOCK_NONBLOCK));
  if (fd.Get() < 0 || listen(fd.Get(), 128) != 0) {
    std::fprintf(stderr, "localserver: cannot listen on 127.0.0.1:%d: %s\n", port,
                 std::strerror(errno));
    return -1;
  }
  return fd.Release();
}

int LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.sin_port);
}

void LingerBeforeClose(int fd) {
  char buffer[16 * 1024];
  size_t drained = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLingerMs);
  while (drained < kLingerMaxBytes) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd pending{fd, POLLIN, 0};
    const int ready = poll(&pending, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    drained += static_cast<size_t>(n);
  }
}

void WaitForInputOrHangUp(int fd) {
  pollfd watched{fd, POLLIN | POLLRDHUP, 0};
  while (poll(&watched, 1, -1) < 0 && errno == EINTR) {
  }
}

void BlockSigpipeInThisThread() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace localserver
