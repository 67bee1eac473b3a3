#include "platform/WindowRegistry.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace {

constexpr int kIoTimeoutMs = 2000;
constexpr std::size_t kMaxLine = 64;

std::string SocketPath(const std::wstring& className) {
  return ToUtf8(GetRuntimeFolder()) + "/vornik-window-" + ToUtf8(SanitizeFileNamePart(className)) +
         ".sock";
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof(*address));
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof(address->sun_path)) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

void SetIoTimeouts(int fd) {
  timeval timeout{kIoTimeoutMs / 1000, (kIoTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
}

bool SendAll(int fd, const std::string& text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads up to a line feed (not included). Each wait for bytes lasts at most
// kIoTimeoutMs and ends early when cancelFd becomes readable (-1: none).
bool ReadLine(int fd, int cancelFd, std::string* line) {
  line->clear();
  while (line->size() < kMaxLine) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
    const int ready = poll(fds, cancelFd >= 0 ? 2 : 1, kIoTimeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (cancelFd >= 0 && fds[1].revents != 0)) return false;
    char c = 0;
    const ssize_t n = recv(fd, &c, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (c == '\n') return true;
    line->push_back(c);
  }
  return false;
}

// Serialises registrations of one class name across processes, so that two
// programs that both find a stale socket cannot both bind one.
UniqueFd LockRegistration(const std::string& socketPath) {
  const std::string path = socketPath + ".lock";
  UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
  if (!fd.IsValid()) fd.Reset(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  while (fd.IsValid() && flock(fd.Get(), LOCK_EX) != 0 && errno == EINTR) {
  }
  return fd;
}

enum class ProbeResult { kLive, kStale, kGone };

ProbeResult ProbeSocket(const sockaddr_un& address) {
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.IsValid()) return ProbeResult::kLive;
  if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
    return ProbeResult::kLive;
  if (errno == ECONNREFUSED) return ProbeResult::kStale;
  if (errno == ENOENT) return ProbeResult::kGone;
  return ProbeResult::kLive;  // EAGAIN: a listener whose queue is full is still alive
}

UniqueFd BindListener(const std::string& path) {
  sockaddr_un address{};
  if (!FillAddress(path, &address)) return UniqueFd();
  for (int attempt = 0; attempt < 2; ++attempt) {
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.IsValid()) return UniqueFd();
    if (bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
      return listen(fd.Get(), 16) == 0 ? std::move(fd) : UniqueFd();
    if (errno != EADDRINUSE) return UniqueFd();
    const ProbeResult probe = ProbeSocket(address);
    if (probe == ProbeResult::kLive) return UniqueFd();
    if (probe == ProbeResult::kStale) unlink(path.c_str());
  }
  return UniqueFd();
}

bool SendRequest(const std::wstring& className, const std::string& request) {
  sockaddr_un address{};
  if (!FillAddress(SocketPath(className), &address)) return false;
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.IsValid()) return false;
  SetIoTimeouts(fd.Get());  // also bounds connect() when the owner's queue is full
  if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
    return false;
  std::string reply;
  return SendAll(fd.Get(), request + "\n") && ReadLine(fd.Get(), -1, &reply) && reply == "ok";
}

}  // namespace

struct WindowClassRegistration::Impl {
  std::string socketPath;
  std::function<void()> onPresent;
  UniqueFd listenFd;
  UniqueFd wakeRead;
  UniqueFd wakeWrite;
  std::thread listener;

  void Serve();
  void Answer(int client);
};

void WindowClassRegistration::Impl::Serve() {
  for (;;) {
    pollfd fds[2] = {{listenFd.Get(), POLLIN, 0}, {wakeRead.Get(), POLLIN, 0}};
    const int ready = poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || fds[1].revents != 0) return;
    if (fds[0].revents & (POLLERR | POLLNVAL)) return;
    if (!(fds[0].revents & POLLIN)) continue;
    UniqueFd client(accept4(listenFd.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (client.IsValid()) Answer(client.Get());
  }
}

void WindowClassRegistration::Impl::Answer(int client) {
  SetIoTimeouts(client);
  std::string request;
  if (!ReadLine(client, wakeRead.Get(), &request)) return;
  if (request == "ping") {
    SendAll(client, "ok\n");
  } else if (request == "present") {
    try {
      if (onPresent) onPresent();
    } catch (...) {
      // The owner's failure must not end the listener; the caller still gets its answer.
    }
    SendAll(client, "ok\n");
  } else {
    SendAll(client, "unknown\n");
  }
}

WindowClassRegistration::WindowClassRegistration(const std::wstring& className,
                                                 std::function<void()> onPresent)
    : impl_(std::make_unique<Impl>()) {
  impl_->socketPath = SocketPath(className);
  impl_->onPresent = std::move(onPresent);
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
  impl_->wakeRead.Reset(pipeFds[0]);
  impl_->wakeWrite.Reset(pipeFds[1]);
  {
    UniqueFd guard = LockRegistration(impl_->socketPath);
    impl_->listenFd = BindListener(impl_->socketPath);
  }
  if (impl_->listenFd.IsValid())
    impl_->listener = std::thread([impl = impl_.get()] { impl->Serve(); });
}

WindowClassRegistration::~WindowClassRegistration() {
  if (!impl_->listener.joinable()) return;
  const char wake = 'x';
  while (write(impl_->wakeWrite.Get(), &wake, 1) < 0 && errno == EINTR) {
  }
  impl_->listener.join();
  // Unlink before closing: once closed, a newcomer could take the name and we
  // must not remove its socket.
  UniqueFd guard = LockRegistration(impl_->socketPath);
  unlink(impl_->socketPath.c_str());
}

bool WindowClassRegistration::IsListening() const { return impl_->listener.joinable(); }

bool FindWindowByClass(const std::wstring& className) { return SendRequest(className, "ping"); }

bool BringWindowToFront(const std::wstring& className) { return SendRequest(className, "present"); }

}  // namespace platform
