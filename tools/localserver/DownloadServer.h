// DownloadServer: a download host and update server for tests, on a
// LocalHttpServer (127.0.0.1, free port, plain or TLS). It serves files by
// path with GET, HEAD and single byte ranges, follows redirect chains, adds
// CDN headers, limits each connection's rate, answers the update server's
// "/queryDownloaderV2" request, and misbehaves on request: each deviation is
// a row (a Rule or a queued Fault), not a new server.
//
// Files: "Accept-Ranges: bytes" on every answer for a file, and
// "Content-Type: application/octet-stream" on 200 and 206. GET without Range (or with one the
// server ignores: another unit, several ranges, malformed) gets 200 and the whole file;
// "bytes=a-b", "a-" and "-n" get 206 with "Content-Range: bytes a-b/size" (b past the end is cut to
// the end); a range beyond the end gets 416 with "Content-Range: bytes */size". HEAD gets the same
// head without the body. Other methods get 405. Bodies are streamed from the file's Content, never
// copied whole. A path that is neither a file, a redirect nor the configuration gets 404.
//
// Every request is recorded by the LocalHttpServer (Server().Requests()) and,
// when answered by this server, as an Exchange with its status, its fault and
// the body bytes sent. All methods may be called from any thread, also while
// requests are served; a change applies to requests that arrive afterwards.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Content.h"
#include "LocalHttpServer.h"

namespace localserver {

// What one request gets instead of the normal answer. kStatus, kDropAfter and
// kStall apply to any answer (files, redirects, the configuration); the
// others only to files.
struct Fault {
  enum class Kind {
    kNone,         // the normal answer
    kStatus,       // `status` with a short text body (HEAD: the head only)
    kWrongTotal,   // Content-Range names `amount` as the total; a 200 gets
                   // "Content-Range: bytes 0-(size-1)/amount" too
    kExtraBytes,   // `amount` filler bytes ('!') follow the range: counted in
                   // Content-Length, not in Content-Range
    kDropAfter,    // the connection closes after `amount` body bytes
    kStall,        // after `amount` body bytes nothing more is sent; the
                   // connection is held until the client closes it or the
                   // server stops. An empty body is complete with its head:
                   // nothing to stall
    kChangedBody,  // `content` is served in place of the file's own, as if
                   // the file had changed on the server
  };
  Kind kind = Kind::kNone;
  int64_t amount = 0;
  int status = 0;
  Content content;

  static Fault None();
  static Fault Status(int status);
  static Fault NotFound();
  static Fault WrongTotal(int64_t total);
  static Fault ExtraBytes(int64_t count);
  static Fault DropAfter(int64_t bodyBytes);
  static Fault StallAfter(int64_t bodyBytes);
  static Fault ChangedBody(Content content);
};

// "none", "status", "wrong total", "extra bytes", "drop", "stall", "changed body".
const char* FaultName(Fault::Kind kind);

// A deviation for the requests that match. Empty texts and -1 match any
// request. Every rule counts every request it matches (also those that an
// earlier rule or a queued fault takes); the first rule in the order of
// adding whose window holds the request applies to it. A queued fault
// replaces that rule's fault; the rule's headers stay.
struct Rule {
  std::string method;       // "GET", "HEAD"; "" any
  std::string path;         // the path without the query; "" any
  int64_t rangeFirst = -1;  // only requests whose Range is "bytes=rangeFirst-..."
  int skip = 0;             // matching requests let through before the window
  int times = 1;            // matching requests in the window; -1: all the rest
  Fault fault;
  Headers headers;  // added to the answers in the window ("CF-RAY", "X-Cache", ...)

  // The next matching request only; set skip and times for another window.
  static Rule For(std::string method, std::string path, Fault fault);
};

struct ServedFile {
  Content content;
  Headers headers;              // on every answer for the file
  int64_t bytesPerSecond = -1;  // -1: the server's rate limit; 0: none
};

// One request answered by the server.
struct Exchange {
  Request request;
  int status = 0;  // the status answered
  Fault::Kind fault = Fault::Kind::kNone;
  int64_t bodyBytes = -1;  // body bytes handed to the connection; -1 until the answer is over
};

class DownloadServer {
 public:
  // Plain HTTP.
  DownloadServer();
  // HTTPS with this certificate and key (see TestCertificates.h).
  explicit DownloadServer(const TlsFiles& tls);
  ~DownloadServer();
  DownloadServer(const DownloadServer&) = delete;
  DownloadServer& operator=(const DownloadServer&) = delete;

  // As LocalHttpServer::Start and Stop. Stop ends stalls and rate-limit waits.
  bool Start();
  void Stop();
  // "http://127.0.0.1:PORT" + path (or https).
  std::string Url(const std::string& path) const;
  // The underlying server: its request log, RefuseConnections, Port.
  LocalHttpServer& Server();

  // Serves (or replaces) a file under path ("/files/lumaclear_setup.exe").
  void AddFile(const std::string& path, ServedFile file);
  void AddFile(const std::string& path, Content content);
  void RemoveFile(const std::string& path);
  // from answers status (301, 302, 303, 307, 308) with a Location to `to`: a
  // path ("/files/a.exe", made absolute with the request's Host header) or
  // an absolute URL. Any method.
  void AddRedirect(const std::string& from, const std::string& to, int status = 302);
  // hops redirects in a row: from -> from/2 -> ... -> from/hops -> to. A
  // client that follows at most 5 fails on a chain of 6.
  void AddRedirectChain(const std::string& from, int hops, const std::string& to);

  // Paces every body at this many bytes per second per connection (0: no
  // limit, the default); a file's own rate overrides it. Each body is paced
  // from its first byte.
  void SetRateLimit(int64_t bytesPerSecond);

  void AddRule(Rule rule);
  // Faults for the next requests for files, one each, in arrival order,
  // before any rule; Fault::None() lets one request through.
  void QueueFaults(const std::vector<Fault>& faults);
  // Forgets the rules and the queue.
  void ClearFaults();

  // The update server: requests whose path ends in "/queryDownloaderV2" get
  // this status and body (until set: 404). Rules apply to them too.
  void SetConfigurationReply(int status, std::string body);
  // The query texts of those requests, in arrival order
  // ("LanguageId=1033&SoftWareID=127&SiteID=61").
  std::vector<std::string> ConfigurationQueries() const;

  // Exchanges since the last ClearExchanges, in the order their requests
  // arrived.
  std::vector<Exchange> Exchanges() const;
  // Body bytes of the finished exchanges since the last ClearExchanges.
  int64_t BodyBytesServed() const;
  // Blocks until count exchanges have finished or timeoutMs passes. A client
  // may see the end of a body before the server's sending thread has
  // finished, so wait before reading byte counts.
  bool WaitForExchanges(size_t count, int timeoutMs) const;
  // Answers still in progress are not counted when they finish.
  void ClearExchanges();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace localserver
