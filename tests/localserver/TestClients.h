// Clients for the local server's tests: libcurl (the client the program
// uses) and a raw TCP connection for byte-exact requests and broken input.
#pragma once
#include <curl/curl.h>

#include <string>
#include <vector>

namespace localserver_test {

struct CurlOptions {
  std::string caFile;                // trust only this CA; empty: plain HTTP expected
  std::string method;                // replaces the method (CURLOPT_CUSTOMREQUEST)
  std::vector<std::string> headers;  // extra request header lines
  std::vector<std::string> resolve;  // CURLOPT_RESOLVE entries "host:port:127.0.0.1"
  long timeoutMs = 10000;
  long expectTimeoutMs = 0;  // 0: libcurl's default wait for "100 Continue"
  bool chunkedUpload = false;
  bool offerHttp2 = false;
  bool followRedirects = false;
};

struct CurlResult {
  CURLcode code = CURLE_OK;
  long status = 0;
  std::string body;
  long newConnections = 0;  // connections opened for this request
  long httpVersion = 0;     // CURL_HTTP_VERSION_*
  double seconds = 0;
};

// One easy handle for all its requests, so that its connection cache keeps a
// connection alive from one request to the next. One thread at a time.
class CurlClient {
 public:
  CurlClient();
  ~CurlClient();
  CurlClient(const CurlClient&) = delete;
  CurlClient& operator=(const CurlClient&) = delete;

  CurlResult Get(const std::string& url, const CurlOptions& options = {});
  CurlResult Post(const std::string& url, const std::string& body, const CurlOptions& options = {});

 private:
  CurlResult Perform(const CurlOptions& options);
  CURL* handle_;
};

// A request on a fresh handle (a fresh connection).
CurlResult FreshGet(const std::string& url, const CurlOptions& options = {});

// A plain TCP connection to 127.0.0.1:port. Reads wait at most timeoutMs.
class RawConnection {
 public:
  explicit RawConnection(int port);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool Connected() const { return fd_ >= 0; }
  bool Send(const std::string& bytes);
  // Ends our sending side (FIN); reading stays possible.
  void CloseSending();
  // Everything up to and including marker; "" when it did not come in time.
  std::string ReadUntil(const std::string& marker, int timeoutMs = 5000);
  // One response: its head, and the body its Content-Length announces
  // unless headOnly (the answer to HEAD).
  std::string ReadResponse(bool headOnly = false, int timeoutMs = 5000);
  // True when the server closed the connection in time; *rest receives
  // whatever came before the end.
  bool ReadToClose(std::string* rest, int timeoutMs = 5000);

 private:
  // Appends what arrives to buffer_; false at the end, on an error or time-out.
  bool ReadSome(int timeoutMs);

  int fd_ = -1;
  std::string buffer_;
};

}  // namespace localserver_test
