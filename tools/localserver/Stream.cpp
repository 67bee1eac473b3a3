#include "Stream.h"

#include <openssl/err.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "Sockets.h"

namespace localserver {
namespace {

class PlainStream : public Stream {
 public:
  explicit PlainStream(int fd) : fd_(fd) {}
  bool Handshake() override { return true; }
  size_t Read(char* buffer, size_t size) override {
    for (;;) {
      const ssize_t n = recv(fd_, buffer, size, 0);
      if (n < 0 && errno == EINTR) continue;
      return n > 0 ? static_cast<size_t>(n) : 0;
    }
  }
  bool Write(const char* data, size_t size) override {
    size_t sent = 0;
    while (sent < size) {
      const ssize_t n = send(fd_, data + sent, size - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }
  void FinishSending() override { shutdown(fd_, SHUT_WR); }
  void AwaitClient() override { WaitForInputOrHangUp(fd_); }

 private:
  int fd_;
};

class TlsStream : public Stream {
 public:
  TlsStream(SSL_CTX* context, int fd) : ssl_(SSL_new(context), SSL_free), fd_(fd) {
    if (ssl_) SSL_set_fd(ssl_.get(), fd);
  }
  bool Handshake() override {
    ERR_clear_error();
    handshaken_ = ssl_ && SSL_accept(ssl_.get()) == 1;
    return handshaken_;
  }
  size_t Read(char* buffer, size_t size) override {
    ERR_clear_error();
    const int n = SSL_read(ssl_.get(), buffer, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
    return n > 0 ? static_cast<size_t>(n) : 0;
  }
  bool Write(const char* data, size_t size) override {
    constexpr size_t kPiece = 1024 * 1024;
    for (size_t sent = 0; sent < size; sent += kPiece) {
      const size_t piece = std::min(kPiece, size - sent);
      ERR_clear_error();
      if (SSL_write(ssl_.get(), data + sent, static_cast<int>(piece)) <= 0) return false;
    }
    return true;
  }
  void FinishSending() override {
    if (handshaken_) {
      ERR_clear_error();
      SSL_shutdown(ssl_.get());
    }
    shutdown(fd_, SHUT_WR);
  }
  void AwaitClient() override { WaitForInputOrHangUp(fd_); }

 private:
  std::unique_ptr<SSL, decltype(&SSL_free)> ssl_;
  int fd_;
  bool handshaken_ = false;
};

}  // namespace

std::unique_ptr<Stream> MakePlainStream(int fd) { return std::make_unique<PlainStream>(fd); }

std::unique_ptr<Stream> MakeTlsStream(SSL_CTX* context, int fd) {
  return std::make_unique<TlsStream>(context, fd);
}

}  // namespace localserver
