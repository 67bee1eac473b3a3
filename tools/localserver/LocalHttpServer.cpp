#include "LocalHttpServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

#include "Session.h"
#include "Sockets.h"
#include "Stream.h"
#include "TlsContext.h"

namespace localserver {

class LocalHttpServer::Impl final : public SessionHost {
 public:
  explicit Impl(std::optional<TlsFiles> tls) : tlsFiles_(std::move(tls)) {}
  ~Impl() { Stop(); }

  bool Start() {
    std::lock_guard<std::mutex> lifecycle(lifecycle_);
    if (running_) return false;
    if (tlsFiles_) {
      tls_ = MakeTlsContext(*tlsFiles_);
      if (!tls_) return false;
    }
    // The holder keeps the port ours while refusing; the listener comes and goes.
    Fd holder(BoundSocket(0, 0));
    const int port = holder.Get() < 0 ? 0 : LocalPort(holder.Get());
    Fd listener(port == 0 ? -1 : OpenListener(port));
    Fd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (listener.Get() < 0 || wake.Get() < 0) {
      std::fprintf(stderr, "localserver: cannot start: %s\n", std::strerror(errno));
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    holderFd_ = holder.Release();
    listenFd_ = listener.Release();
    wakeFd_ = wake.Release();
    port_ = port;
    running_ = true;
    stopping_ = false;
    refusing_ = false;
    acceptThread_ = std::thread(&Impl::AcceptLoop, this);
    return true;
  }

  void Stop() {
    std::lock_guard<std::mutex> lifecycle(lifecycle_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!running_) return;
      stopping_ = true;
      if (listenFd_ >= 0) shutdown(listenFd_, SHUT_RDWR);
      ShutDownConnections();
      Wake();
    }
    stopRequested_.notify_all();
    acceptThread_.join();
    std::list<std::unique_ptr<Connection>> connections;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      connections.swap(connections_);
    }
    for (const auto& connection : connections) connection->thread.join();
    std::lock_guard<std::mutex> lock(mutex_);
    CloseRetiredListeners();
    for (int* fd : {&listenFd_, &holderFd_, &wakeFd_}) CloseAndForget(fd);
    running_ = false;
  }

  int Port() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return port_;
  }

  std::string BaseUrl() const {
    return std::string(tlsFiles_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(Port());
  }

  void SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
  }

  void QueueReplies(const std::vector<Reply>& replies) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_.insert(script_.end(), replies.begin(), replies.end());
  }

  void RefuseConnections() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_ || stopping_ || refusing_) return;
    refusing_ = true;
    // The listener stops listening at once (new connections get RST); the
    // accept thread closes it. The holder keeps the port reserved.
    if (listenFd_ >= 0) {
      shutdown(listenFd_, SHUT_RDWR);
      retiredListeners_.push_back(std::exchange(listenFd_, -1));
    }
    ShutDownConnections();
    Wake();
  }

  void AcceptAgain() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_ || stopping_ || !refusing_) return;
    listenFd_ = OpenListener(port_);
    refusing_ = listenFd_ < 0;
    Wake();
  }

  std::vector<Request> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

  size_t RequestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
  }

  bool WaitForRequests(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return requestsArrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return requests_.size() >= count; });
  }

  void ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
  }

  void Record(const Request& request) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    requestsArrived_.notify_all();
  }

  Reply ChooseReply(const Request& request) override {
    Handler handler;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!script_.empty()) {
        Reply reply = std::move(script_.front());
        script_.pop_front();
        return reply;
      }
      handler = handler_;
    }
    if (!handler) return Reply();
    try {
      return handler(request);
    } catch (...) {
      return Reply::Status(500, "handler failed");
    }
  }

  bool WaitUnlessStopping(int delayMs) override {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopRequested_.wait_for(lock, std::chrono::milliseconds(delayMs),
                                    [this] { return stopping_; });
  }

 private:
  struct Connection {
    int fd = -1;  // closed by its own thread, under mutex_
    int serial = 0;
    bool finished = false;
    std::thread thread;
  };

  // Under mutex_.
  void ShutDownConnections() {
    for (const auto& connection : connections_) {
      if (connection->fd >= 0) shutdown(connection->fd, SHUT_RDWR);
    }
  }

  // Under mutex_ (wakeFd_ is closed under it).
  void Wake() {
    const uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof one) < 0) {
      // The counter is full, so the accept thread is awake anyway.
    }
  }

  // The accept thread's loop; connections' threads inherit its signal mask.
  void AcceptLoop() {
    BlockSigpipeInThisThread();
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      CloseRetiredListeners();
      JoinFinishedConnections();
      const int listener = listenFd_;
      lock.unlock();
      pollfd watched[2] = {{wakeFd_, POLLIN, 0}, {listener, POLLIN, 0}};
      const int ready = poll(watched, listener >= 0 ? 2 : 1, -1);
      if (ready > 0 && (watched[0].revents & POLLIN) != 0) {
        uint64_t count = 0;
        if (read(wakeFd_, &count, sizeof count) < 0) count = 0;
      }
      lock.lock();
      if (!stopping_ && listener >= 0 && listener == listenFd_ &&
          (watched[1].revents & POLLIN) != 0) {
        AcceptPending(listener);
      }
    }
  }

  // Under mutex_.
  void AcceptPending(int listener) {
    for (;;) {
      const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      const int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      auto connection = std::make_unique<Connection>();
      connection->fd = fd;
      connection->serial = ++connectionSerial_;
      Connection* serving = connection.get();
      connection->thread = std::thread(&Impl::Serve, this, serving);
      connections_.push_back(std::move(connection));
    }
  }

  // Under mutex_.
  void CloseRetiredListeners() {
    for (int fd : retiredListeners_) close(fd);
    retiredListeners_.clear();
  }

  // Under mutex_.
  void JoinFinishedConnections() {
    for (auto it = connections_.begin(); it != connections_.end();) {
      if (!(*it)->finished) {
        ++it;
        continue;
      }
      (*it)->thread.join();
      it = connections_.erase(it);
    }
  }

  void Serve(Connection* connection) {
    Ending ending = Ending::kAbrupt;
    {
      const std::unique_ptr<Stream> stream =
          tls_ ? MakeTlsStream(tls_.get(), connection->fd) : MakePlainStream(connection->fd);
      if (stream->Handshake()) {
        Session session(*stream, connection->serial, *this);
        ending = session.Run();
      }
      if (ending == Ending::kGraceful) stream->FinishSending();
    }
    if (ending == Ending::kGraceful) LingerBeforeClose(connection->fd);
    std::lock_guard<std::mutex> lock(mutex_);
    if (ending == Ending::kReset) {
      const linger abortive{1, 0};
      setsockopt(connection->fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    close(connection->fd);
    connection->fd = -1;
    connection->finished = true;
  }

  const std::optional<TlsFiles> tlsFiles_;
  TlsContext tls_{nullptr, SSL_CTX_free};
  std::mutex lifecycle_;  // serialises Start and Stop
  mutable std::mutex mutex_;
  mutable std::condition_variable requestsArrived_;
  std::condition_variable stopRequested_;
  bool running_ = false;
  bool stopping_ = false;
  bool refusing_ = false;
  int port_ = 0;
  int holderFd_ = -1;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  std::vector<int> retiredListeners_;
  std::thread acceptThread_;
  std::list<std::unique_ptr<Connection>> connections_;
  int connectionSerial_ = 0;
  std::vector<Request> requests_;
  std::deque<Reply> script_;
  Handler handler_;
};

LocalHttpServer::LocalHttpServer() : impl_(std::make_unique<Impl>(std::nullopt)) {}
LocalHttpServer::LocalHttpServer(const TlsFiles& tls) : impl_(std::make_unique<Impl>(tls)) {}
LocalHttpServer::~LocalHttpServer() = default;

bool LocalHttpServer::Start() { return impl_->Start(); }
void LocalHttpServer::Stop() { impl_->Stop(); }
int LocalHttpServer::Port() const { return impl_->Port(); }
std::string LocalHttpServer::BaseUrl() const { return impl_->BaseUrl(); }
void LocalHttpServer::SetHandler(Handler handler) { impl_->SetHandler(std::move(handler)); }
void LocalHttpServer::QueueReplies(const std::vector<Reply>& replies) {
  impl_->QueueReplies(replies);
}
void LocalHttpServer::RefuseConnections() { impl_->RefuseConnections(); }
void LocalHttpServer::AcceptAgain() { impl_->AcceptAgain(); }
std::vector<Request> LocalHttpServer::Requests() const { return impl_->Requests(); }
size_t LocalHttpServer::RequestCount() const { return impl_->RequestCount(); }
bool LocalHttpServer::WaitForRequests(size_t count, int timeoutMs) const {
  return impl_->WaitForRequests(count, timeoutMs);
}
void LocalHttpServer::ClearRequests() { impl_->ClearRequests(); }

}  // namespace localserver
