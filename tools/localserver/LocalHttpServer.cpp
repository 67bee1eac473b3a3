#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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

namespace localserver {
namespace {

// Limits that keep a hostile or broken client from exhausting memory.
constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr size_t kMaxBodyBytes = 64 * 1024 * 1024;
constexpr size_t kMaxChunkLineBytes = 4096;
constexpr size_t kReadBlockBytes = 64 * 1024;
// How long a closing connection waits for the client to take our last reply
// before the socket goes away, so that unread input does not turn the close
// into a reset that destroys the reply in flight.
constexpr int kLingerMs = 1000;
constexpr size_t kLingerMaxBytes = 1024 * 1024;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string TrimBlanks(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// Whether a comma-separated header value lists token (any case).
bool ListsToken(const std::string& value, const std::string& token) {
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    if (comma == std::string::npos) comma = value.size();
    if (EqualsNoCase(TrimBlanks(value.substr(start, comma - start)), token)) return true;
    start = comma + 1;
  }
  return false;
}

std::string FirstHeader(const Headers& headers, const std::string& name) {
  for (const auto& header : headers) {
    if (EqualsNoCase(header.first, name)) return header.second;
  }
  return std::string();
}

bool HasHeader(const Headers& headers, const std::string& name) {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& header) { return EqualsNoCase(header.first, name); });
}

bool IsTokenChar(unsigned char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  return c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsToken(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return IsTokenChar(static_cast<unsigned char>(c));
  });
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

// Request line "METHOD SP target SP HTTP/x.y". 0 when valid, else the status
// to answer.
int ParseRequestLine(const std::string& line, Request* request) {
  const size_t first = line.find(' ');
  const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
  if (second == std::string::npos || line.find(' ', second + 1) != std::string::npos) return 400;
  request->method = line.substr(0, first);
  request->target = line.substr(first + 1, second - first - 1);
  request->version = line.substr(second + 1);
  if (!IsToken(request->method) || request->target.empty()) return 400;
  for (char c : request->target) {
    if (IsControl(static_cast<unsigned char>(c))) return 400;
  }
  const std::string& version = request->version;
  const bool wellFormed = version.size() == 8 && version.compare(0, 5, "HTTP/") == 0 &&
                          std::isdigit(static_cast<unsigned char>(version[5])) &&
                          version[6] == '.' && std::isdigit(static_cast<unsigned char>(version[7]));
  if (!wellFormed) return 400;
  return (version == "HTTP/1.1" || version == "HTTP/1.0") ? 0 : 505;
}

int ParseHeaderLine(const std::string& line, Headers* headers) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return 400;
  // A name must not be followed by blanks, and folded lines are obsolete.
  const std::string name = line.substr(0, colon);
  if (!IsToken(name)) return 400;
  const std::string value = TrimBlanks(line.substr(colon + 1));
  for (char c : value) {
    if (c != '\t' && IsControl(static_cast<unsigned char>(c))) return 400;
  }
  headers->emplace_back(name, value);
  return 0;
}

// head: the request line and header lines, without the blank line.
int ParseHead(const std::string& head, Request* request) {
  size_t lineStart = 0;
  bool requestLine = true;
  while (lineStart <= head.size()) {
    size_t lineEnd = head.find("\r\n", lineStart);
    if (lineEnd == std::string::npos) lineEnd = head.size();
    const std::string line = head.substr(lineStart, lineEnd - lineStart);
    if (line.find_first_of("\r\n") != std::string::npos) return 400;
    const int status =
        requestLine ? ParseRequestLine(line, request) : ParseHeaderLine(line, &request->headers);
    if (status != 0) return status;
    requestLine = false;
    lineStart = lineEnd + 2;
  }
  return 0;
}

// Whether received bytes (not yet a whole line) can no longer become a
// request line, so that binary junk is refused at once instead of waiting for
// a line end that never comes.
bool CannotStartRequestLine(const std::string& received) {
  for (size_t i = 0; i < received.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(received[i]);
    if (c == '\r') return i + 1 < received.size() && received[i + 1] != '\n';
    if (IsControl(c)) return true;
  }
  return false;
}

struct BodyFraming {
  bool chunked = false;
  uint64_t length = 0;
  bool HasBody() const { return chunked || length > 0; }
};

bool ParseDecimal(const std::string& text, uint64_t* value) {
  if (text.empty() || text.size() > 18) return false;
  *value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

int DecideFraming(const Request& request, BodyFraming* framing) {
  std::string codings;
  std::optional<uint64_t> length;
  for (const auto& header : request.headers) {
    if (EqualsNoCase(header.first, "Transfer-Encoding")) {
      codings += codings.empty() ? header.second : "," + header.second;
    } else if (EqualsNoCase(header.first, "Content-Length")) {
      uint64_t value = 0;
      if (!ParseDecimal(header.second, &value)) return 400;
      if (length && *length != value) return 400;
      length = value;
    }
  }
  if (!codings.empty()) {
    const size_t comma = codings.rfind(',');
    const std::string last =
        TrimBlanks(comma == std::string::npos ? codings : codings.substr(comma + 1));
    // Without chunked as the final coding the body's end cannot be found.
    if (!EqualsNoCase(last, "chunked")) return 400;
    framing->chunked = true;
    return 0;
  }
  framing->length = length.value_or(0);
  return framing->length > kMaxBodyBytes ? 413 : 0;
}

// Decodes a chunked body incrementally from a growing buffer.
class ChunkedDecoder {
 public:
  enum class Result { kNeedMore, kDone, kBad, kTooLarge };

  explicit ChunkedDecoder(size_t start) : offset_(start) {}

  // text: the connection's buffer, grown since the last call.
  Result Feed(const std::string& text) {
    for (;;) {
      Result result = Result::kNeedMore;
      bool progressed = false;
      switch (state_) {
        case State::kSizeLine:
          progressed = TakeSizeLine(text, &result);
          break;
        case State::kData:
          progressed = TakeData(text);
          break;
        case State::kDataEnd:
          progressed = TakeDataEnd(text, &result);
          break;
        case State::kTrailer:
          progressed = TakeTrailerLine(text, &result);
          break;
        case State::kDone:
          return Result::kDone;
      }
      if (!progressed) return result;
    }
  }

  size_t End() const { return offset_; }
  std::string TakeBody() { return std::move(body_); }

 private:
  enum class State { kSizeLine, kData, kDataEnd, kTrailer, kDone };

  bool FindLine(const std::string& text, size_t limit, size_t* lineEnd, Result* result) const {
    *lineEnd = text.find("\r\n", offset_);
    const size_t available = (*lineEnd == std::string::npos ? text.size() : *lineEnd) - offset_;
    if (available > limit) {
      *result = Result::kBad;
      return false;
    }
    *result = Result::kNeedMore;
    return *lineEnd != std::string::npos;
  }

  bool TakeSizeLine(const std::string& text, Result* result) {
    size_t lineEnd = 0;
    if (!FindLine(text, kMaxChunkLineBytes, &lineEnd, result)) return false;
    std::string size = text.substr(offset_, lineEnd - offset_);
    size = TrimBlanks(size.substr(0, size.find(';')));
    if (size.empty() || size.size() > 15 ||
        size.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      *result = Result::kBad;
      return false;
    }
    remaining_ = std::stoull(size, nullptr, 16);
    if (body_.size() + remaining_ > kMaxBodyBytes) {
      *result = Result::kTooLarge;
      return false;
    }
    offset_ = lineEnd + 2;
    state_ = remaining_ == 0 ? State::kTrailer : State::kData;
    return true;
  }

  bool TakeData(const std::string& text) {
    const size_t take = static_cast<size_t>(std::min<uint64_t>(text.size() - offset_, remaining_));
    body_.append(text, offset_, take);
    offset_ += take;
    remaining_ -= take;
    if (remaining_ > 0) return false;
    state_ = State::kDataEnd;
    return true;
  }

  bool TakeDataEnd(const std::string& text, Result* result) {
    if (text.size() - offset_ < 2) return false;
    if (text.compare(offset_, 2, "\r\n") != 0) {
      *result = Result::kBad;
      return false;
    }
    offset_ += 2;
    state_ = State::kSizeLine;
    return true;
  }

  bool TakeTrailerLine(const std::string& text, Result* result) {
    size_t lineEnd = 0;
    const size_t limit = trailerBytes_ >= kMaxHeadBytes ? 0 : kMaxHeadBytes - trailerBytes_;
    if (!FindLine(text, limit, &lineEnd, result)) return false;
    if (lineEnd == offset_) {
      offset_ += 2;
      state_ = State::kDone;
      *result = Result::kDone;
      return true;
    }
    Headers ignored;
    if (ParseHeaderLine(text.substr(offset_, lineEnd - offset_), &ignored) != 0) {
      *result = Result::kBad;
      return false;
    }
    trailerBytes_ += lineEnd + 2 - offset_;
    offset_ = lineEnd + 2;
    return true;
  }

  State state_ = State::kSizeLine;
  size_t offset_;
  uint64_t remaining_ = 0;
  size_t trailerBytes_ = 0;
  std::string body_;
};

const char* ReasonPhrase(int status) {
  static const std::pair<int, const char*> kPhrases[] = {
      {100, "Continue"},
      {101, "Switching Protocols"},
      {200, "OK"},
      {201, "Created"},
      {202, "Accepted"},
      {204, "No Content"},
      {206, "Partial Content"},
      {301, "Moved Permanently"},
      {302, "Found"},
      {303, "See Other"},
      {304, "Not Modified"},
      {307, "Temporary Redirect"},
      {308, "Permanent Redirect"},
      {400, "Bad Request"},
      {401, "Unauthorized"},
      {403, "Forbidden"},
      {404, "Not Found"},
      {405, "Method Not Allowed"},
      {408, "Request Timeout"},
      {411, "Length Required"},
      {413, "Content Too Large"},
      {414, "URI Too Long"},
      {416, "Range Not Satisfiable"},
      {417, "Expectation Failed"},
      {429, "Too Many Requests"},
      {431, "Request Header Fields Too Large"},
      {500, "Internal Server Error"},
      {501, "Not Implemented"},
      {502, "Bad Gateway"},
      {503, "Service Unavailable"},
      {504, "Gateway Timeout"},
      {505, "HTTP Version Not Supported"},
  };
  for (const auto& phrase : kPhrases) {
    if (phrase.first == status) return phrase.second;
  }
  return "Status";
}

bool StatusForbidsBody(int status) { return status < 200 || status == 204 || status == 304; }

std::string FormatHead(const Reply& reply, bool closing) {
  std::string head =
      "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonPhrase(reply.status) + "\r\n";
  for (const auto& header : reply.headers) head += header.first + ": " + header.second + "\r\n";
  const bool framed =
      HasHeader(reply.headers, "Content-Length") || HasHeader(reply.headers, "Transfer-Encoding");
  if (!framed && !StatusForbidsBody(reply.status)) {
    head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  }
  if (closing && !HasHeader(reply.headers, "Connection")) head += "Connection: close\r\n";
  return head + "\r\n";
}

bool RequestWantsClose(const Request& request) {
  const std::string connection = request.Header("Connection");
  if (ListsToken(connection, "close")) return true;
  return request.version == "HTTP/1.0" && !ListsToken(connection, "keep-alive");
}

// Signals the server's threads never want: a write to a socket the client
// already closed must fail with EPIPE, not end the process. OpenSSL writes
// with write(2), which has no MSG_NOSIGNAL.
void BlockSigpipeInThisThread() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

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

void CloseAndForget(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
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

// Waits for the client to close after our last bytes, reading and dropping
// whatever it still sends; bounded in time and bytes.
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

// One connection's byte stream, plain or TLS. Used by one thread.
class Stream {
 public:
  virtual ~Stream() = default;
  virtual bool Handshake() = 0;
  // Bytes read (> 0); 0 at the end of the stream or on an error.
  virtual size_t Read(char* buffer, size_t size) = 0;
  virtual bool Write(const std::string& data) = 0;
  // Ends what we send (TLS close_notify, then FIN) but keeps reading possible.
  virtual void FinishSending() = 0;
};

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
  bool Write(const std::string& data) override {
    size_t sent = 0;
    while (sent < data.size()) {
      const ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }
  void FinishSending() override { shutdown(fd_, SHUT_WR); }

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
  bool Write(const std::string& data) override {
    constexpr size_t kPiece = 1024 * 1024;
    for (size_t sent = 0; sent < data.size(); sent += kPiece) {
      const size_t piece = std::min(kPiece, data.size() - sent);
      ERR_clear_error();
      if (SSL_write(ssl_.get(), data.data() + sent, static_cast<int>(piece)) <= 0) return false;
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

 private:
  std::unique_ptr<SSL, decltype(&SSL_free)> ssl_;
  int fd_;
  bool handshaken_ = false;
};

// Offers only HTTP/1.1: a client that would rather speak h2 falls back.
int SelectHttp11(SSL*, const unsigned char** out, unsigned char* outLength, const unsigned char* in,
                 unsigned int inLength, void*) {
  static const char kHttp11[] = "http/1.1";
  for (unsigned int i = 0; i < inLength;) {
    const unsigned int length = in[i];
    if (i + 1 + length > inLength) break;
    if (length == sizeof kHttp11 - 1 && std::memcmp(in + i + 1, kHttp11, length) == 0) {
      *out = in + i + 1;
      *outLength = static_cast<unsigned char>(length);
      return SSL_TLSEXT_ERR_OK;
    }
    i += 1 + length;
  }
  return SSL_TLSEXT_ERR_NOACK;
}

void PrintTlsError(const char* what) {
  char text[256] = "";
  ERR_error_string_n(ERR_get_error(), text, sizeof text);
  std::fprintf(stderr, "localserver: %s: %s\n", what, text);
}

using TlsContext = std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)>;

TlsContext MakeTlsContext(const TlsFiles& files) {
  TlsContext context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
  if (!context) {
    PrintTlsError("SSL_CTX_new");
    return context;
  }
  SSL_CTX* ctx = context.get();
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_alpn_select_cb(ctx, SelectHttp11, nullptr);
  if (SSL_CTX_use_certificate_chain_file(ctx, files.certificateChainPem.c_str()) != 1) {
    PrintTlsError(files.certificateChainPem.c_str());
    context.reset();
  } else if (SSL_CTX_use_PrivateKey_file(ctx, files.privateKeyPem.c_str(), SSL_FILETYPE_PEM) != 1 ||
             SSL_CTX_check_private_key(ctx) != 1) {
    PrintTlsError(files.privateKeyPem.c_str());
    context.reset();
  }
  return context;
}

// How a connection ends.
enum class Ending {
  kKeepOpen,  // not yet: serve the next request
  kAbrupt,    // the client went away, or the server stops: just close
  kGraceful,  // our side is done: end sending, let the client read, close
  kReset,     // close with RST
};

// What a connection needs of its server.
class SessionHost {
 public:
  virtual void Record(const Request& request) = 0;
  virtual Reply ChooseReply(const Request& request) = 0;
  // False when the server stops during the wait.
  virtual bool WaitUnlessStopping(int delayMs) = 0;

 protected:
  ~SessionHost() = default;
};

// Reads requests from one connection and answers them, one at a time.
class Session {
 public:
  Session(Stream& stream, int serial, SessionHost& host)
      : stream_(stream), serial_(serial), host_(host) {}

  Ending Run() {
    for (;;) {
      Request request;
      int rejection = 0;
      switch (ReadRequest(&request, &rejection)) {
        case Outcome::kEnded:
          return Ending::kAbrupt;
        case Outcome::kRejected:
          stream_.Write(FormatHead(Reply::Status(rejection, ReasonPhrase(rejection)), true) +
                        ReasonPhrase(rejection));
          return Ending::kGraceful;
        case Outcome::kComplete:
          break;
      }
      host_.Record(request);
      const Ending ending = Answer(request, host_.ChooseReply(request));
      if (ending != Ending::kKeepOpen) return ending;
    }
  }

 private:
  enum class Outcome { kComplete, kEnded, kRejected };

  bool Fill() {
    const size_t n = stream_.Read(buffer_.data(), buffer_.size());
    if (n == 0) return false;
    pending_.append(buffer_.data(), n);
    return true;
  }

  Outcome ReadHead(size_t* headEnd, int* rejection) {
    size_t searchFrom = 0;
    for (;;) {
      const size_t blank = pending_.find("\r\n\r\n", searchFrom);
      if (blank != std::string::npos && blank + 4 <= kMaxHeadBytes) {
        *headEnd = blank + 4;
        return Outcome::kComplete;
      }
      if (blank != std::string::npos || pending_.size() > kMaxHeadBytes) {
        *rejection = 431;
        return Outcome::kRejected;
      }
      const size_t lineEnd = pending_.find("\r\n");
      Request probe;
      *rejection = lineEnd == std::string::npos
                       ? (CannotStartRequestLine(pending_) ? 400 : 0)
                       : ParseRequestLine(pending_.substr(0, lineEnd), &probe);
      if (*rejection != 0) return Outcome::kRejected;
      searchFrom = pending_.size() < 3 ? 0 : pending_.size() - 3;
      if (!Fill()) return Outcome::kEnded;
    }
  }

  Outcome ReadSizedBody(size_t headEnd, uint64_t length, Request* request, size_t* end) {
    *end = headEnd + static_cast<size_t>(length);
    while (pending_.size() < *end) {
      if (!Fill()) return Outcome::kEnded;
    }
    request->body = pending_.substr(headEnd, static_cast<size_t>(length));
    return Outcome::kComplete;
  }

  Outcome ReadChunkedBody(size_t headEnd, Request* request, size_t* end, int* rejection) {
    ChunkedDecoder decoder(headEnd);
    for (;;) {
      switch (decoder.Feed(pending_)) {
        case ChunkedDecoder::Result::kDone:
          request->body = decoder.TakeBody();
          *end = decoder.End();
          return Outcome::kComplete;
        case ChunkedDecoder::Result::kBad:
          *rejection = 400;
          return Outcome::kRejected;
        case ChunkedDecoder::Result::kTooLarge:
          *rejection = 413;
          return Outcome::kRejected;
        case ChunkedDecoder::Result::kNeedMore:
          if (!Fill()) return Outcome::kEnded;
          break;
      }
    }
  }

  // 0, or the status that refuses an expectation we cannot meet.
  int MeetExpectation(const Request& request, const BodyFraming& framing, size_t headEnd) {
    const std::string expect = request.Header("Expect");
    if (expect.empty()) return 0;
    if (!EqualsNoCase(expect, "100-continue")) return 417;
    // A client that sent body bytes already is not waiting for us.
    if (request.version == "HTTP/1.1" && framing.HasBody() && pending_.size() == headEnd) {
      stream_.Write("HTTP/1.1 100 Continue\r\n\r\n");
    }
    return 0;
  }

  Outcome ReadRequest(Request* request, int* rejection) {
    size_t headEnd = 0;
    Outcome outcome = ReadHead(&headEnd, rejection);
    if (outcome != Outcome::kComplete) return outcome;
    BodyFraming framing;
    *rejection = ParseHead(pending_.substr(0, headEnd - 4), request);
    if (*rejection == 0) *rejection = DecideFraming(*request, &framing);
    if (*rejection == 0) *rejection = MeetExpectation(*request, framing, headEnd);
    if (*rejection != 0) return Outcome::kRejected;
    size_t end = headEnd;
    outcome = framing.chunked ? ReadChunkedBody(headEnd, request, &end, rejection)
                              : ReadSizedBody(headEnd, framing.length, request, &end);
    if (outcome != Outcome::kComplete) return outcome;
    request->raw = pending_.substr(0, end);
    pending_.erase(0, end);
    request->connection = serial_;
    return Outcome::kComplete;
  }

  Ending Answer(const Request& request, const Reply& reply) {
    if (reply.delayMs > 0 && !host_.WaitUnlessStopping(reply.delayMs)) return Ending::kAbrupt;
    if (reply.fault == Reply::Fault::kDrop) return Ending::kGraceful;
    if (reply.fault == Reply::Fault::kReset) return Ending::kReset;
    const bool truncating = reply.truncateBodyAt >= 0;
    const bool closing = truncating || RequestWantsClose(request) ||
                         ListsToken(FirstHeader(reply.headers, "Connection"), "close");
    std::string message = FormatHead(reply, closing);
    if (request.method != "HEAD" && !StatusForbidsBody(reply.status)) {
      const size_t length =
          truncating ? static_cast<size_t>(std::min<int64_t>(
                           reply.truncateBodyAt, static_cast<int64_t>(reply.body.size())))
                     : reply.body.size();
      message.append(reply.body, 0, length);
    }
    if (!stream_.Write(message)) return Ending::kAbrupt;
    return closing ? Ending::kGraceful : Ending::kKeepOpen;
  }

  Stream& stream_;
  const int serial_;
  SessionHost& host_;
  std::string pending_;
  std::vector<char> buffer_ = std::vector<char>(kReadBlockBytes);
};

}  // namespace

std::string Request::Header(const std::string& name) const { return FirstHeader(headers, name); }

std::string Request::Path() const { return target.substr(0, target.find('?')); }

std::string Request::Query() const {
  const size_t mark = target.find('?');
  return mark == std::string::npos ? std::string() : target.substr(mark + 1);
}

Reply Reply::Status(int status, std::string body) {
  Reply reply;
  reply.status = status;
  reply.body = std::move(body);
  return reply;
}

Reply Reply::Dropped() {
  Reply reply;
  reply.fault = Fault::kDrop;
  return reply;
}

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
      std::unique_ptr<Stream> stream;
      if (tls_) {
        stream = std::make_unique<TlsStream>(tls_.get(), connection->fd);
      } else {
        stream = std::make_unique<PlainStream>(connection->fd);
      }
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
