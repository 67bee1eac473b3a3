// LocalHttpServer: a small HTTP/1.1 server on 127.0.0.1 for tests and the
// demo services, plain or TLS, that records every request exactly as it was
// received and answers each one from a script of replies and faults.
//
// The server listens on a free port chosen by the kernel (port 0) on
// 127.0.0.1 only. One thread accepts; each connection is served on its own
// thread, keep-alive and "Expect: 100-continue" included. All public methods
// may be called from any thread, except that Stop() must not be called from
// inside a handler. Stop() (and the destructor) closes the listener and every
// open connection, cuts short every delay and joins all threads; it waits for
// a handler that is still running.
//
// Replies carry a reason phrase and a Content-Length (unless the reply sets
// Content-Length or Transfer-Encoding itself, or its status has no body: 1xx,
// 204, 304). HEAD gets the head only. The connection is closed after a reply
// when the request asks for it (HTTP/1.0, "Connection: close"), when the
// reply has "Connection: close", after a truncated or stalled body, and after
// a streamed body whose size differs from its announced length; "Connection:
// close" is added to the head in the cases known before sending, unless the
// reply names a Connection header.
// Requests that cannot be parsed are answered (400, 417, 413, 431, 505) and
// the connection closed; they are not recorded. Limits: 64 KiB of head, 64 MiB
// of body.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace localserver {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct Request {
  std::string method;   // "POST"
  std::string target;   // the request target exactly as sent: "/g/collect?v=2&cid=..."
  std::string version;  // "HTTP/1.1"
  Headers headers;      // in order, names and values as sent (values trimmed)
  std::string body;     // decoded from Content-Length or chunked transfer
  std::string raw;      // every byte of the request as received, head and body
  int connection = 0;   // serial number of the connection that carried it

  // First header of that name, compared without regard to case; "" if none.
  std::string Header(const std::string& name) const;
  std::string Path() const;   // target up to "?"
  std::string Query() const;  // target after "?", "" when none
};

// What to do with one request.
struct Reply {
  enum class Fault {
    kNone,   // answer normally
    kDrop,   // close without answering (TLS: after close_notify): an empty reply
    kReset,  // reset the connection (RST) without answering
  };
  int status = 200;
  Headers headers;  // Content-Length is added by the server unless present
  std::string body;
  int delayMs = 0;  // wait this long before answering (or dropping)
  Fault fault = Fault::kNone;
  // Sends only this many bytes of the body, then closes (-1: whole body, and
  // the connection may stay open).
  int64_t truncateBodyAt = -1;

  // A body produced piece by piece instead of `body`, so that a large body is
  // never held whole: called repeatedly on the connection's thread, it
  // replaces *piece with the next bytes and returns true, or returns false at
  // the end. Not called for HEAD or for a status without a body. Copies of a
  // Reply share whatever the function captures.
  std::function<bool(std::string* piece)> bodySource = nullptr;
  // With bodySource: the Content-Length to announce; -1 announces none and
  // ends the body by closing the connection.
  int64_t bodyLength = -1;
  // Paces the body at this many bytes per second from its first byte (0: as
  // fast as the client takes it). The wait is cut short when the server stops.
  int64_t bytesPerSecond = 0;
  // Sends this many bytes of the body, then sends nothing more and holds the
  // connection until the client closes it (or sends anything) or the server
  // stops (-1: no stall).
  int64_t stallAfter = -1;
  // Called on the connection's thread once the reply is over (sent, cut short
  // or failed) with the number of body bytes handed to the connection.
  std::function<void(int64_t bodyBytes)> afterSending = nullptr;

  static Reply Status(int status, std::string body = std::string());
  static Reply Dropped();
};

// Decides the reply to a request; runs on the connection's thread.
using Handler = std::function<Reply(const Request&)>;

struct TlsFiles {
  std::string certificateChainPem;  // the server's certificate (then intermediates)
  std::string privateKeyPem;
};

class LocalHttpServer {
 public:
  // Plain HTTP.
  LocalHttpServer();
  // HTTPS with this certificate and key.
  explicit LocalHttpServer(const TlsFiles& tls);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // Binds 127.0.0.1:0 and starts serving; the TLS files are read here. False
  // (and a message on stderr) when the socket or the TLS set-up fails, or
  // when already running. After Stop() it may start again, on a new port.
  bool Start();
  void Stop();
  int Port() const;
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
  std::string BaseUrl() const;

  // The default reply for requests that no scripted reply takes: the handler
  // when one is set, else 200 with an empty body.
  void SetHandler(Handler handler);
  // Scripted replies, used one per request in order before the handler.
  void QueueReplies(const std::vector<Reply>& replies);
  // Refuse: from return on, connecting fails at once ("connection refused":
  // the listening socket is shut down while a second, non-listening socket
  // keeps the port bound, so nobody else takes it), and open connections are
  // closed too, so that a client cannot slip through on a kept-alive
  // connection. AcceptAgain() listens on the same port again.
  void RefuseConnections();
  void AcceptAgain();

  // Every request received so far, in the order they arrived (including those
  // that were dropped or answered with an error). A request is recorded once
  // its body is complete, before its reply is chosen.
  std::vector<Request> Requests() const;
  size_t RequestCount() const;
  // Blocks until at least count requests have arrived or timeoutMs passes.
  bool WaitForRequests(size_t count, int timeoutMs) const;
  void ClearRequests();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace localserver
