// Loopback sockets and descriptors for the server. Internal to the
// localserver library; any thread.
#pragma once
#include <unistd.h>

#include <utility>

namespace localserver {

// Owns one file descriptor.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Closes *fd when open and sets it to -1.
void CloseAndForget(int* fd);

// A TCP socket bound to 127.0.0.1:port (0: the kernel picks) with
// SO_REUSEADDR and close-on-exec, plus extraFlags (SOCK_NONBLOCK); -1 on failure.
int BoundSocket(int port, int extraFlags);
// A non-blocking listening socket on 127.0.0.1:port; -1 (and a message on
// stderr) on failure.
int OpenListener(int port);
// The port a socket is bound to; 0 when unknown.
int LocalPort(int fd);

// Waits for the client to close after our last bytes, reading and dropping
// whatever it still sends, so that unread input does not turn the close into
// a reset that destroys the reply in flight. Bounded in time and bytes.
void LingerBeforeClose(int fd);

// Blocks until fd has input, an end of input or an error (shutdown() of
// the socket by another thread counts); EINTR is retried.
void WaitForInputOrHangUp(int fd);

// A write to a socket the client already closed must fail with EPIPE, not end
// the process; OpenSSL writes with write(2), which has no MSG_NOSIGNAL.
// Threads started afterwards from this one inherit the mask.
void BlockSigpipeInThisThread();

}  // namespace localserver
