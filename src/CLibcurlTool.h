// CLibcurlTool: the program's HTTP client for ordinary requests, one libcurl
// easy handle with four kinds of request.
//
// A tool is used by one thread at a time (a download worker for its whole
// life, a length query for one query); tools on different threads run side
// by side. Every request on the tool's handle starts from a reset handle, so
// no option of an earlier request carries over, while libcurl keeps the
// handle's open connections for the next request to the same host.
//
// Results are libcurl's CURLcode (0 success). A tool without a handle (libcurl
// could not make one) logs " curl easy init fail !!!" and answers
// CURLE_FAILED_INIT (2) without any network activity.
//
// TLS: every request verifies the server's certificate chain and host name,
// against the system's CA store or the deployment's CA file (CurlTls.h), and
// a server that fails fails the request (CURLE_PEER_FAILED_VERIFICATION).
// Verification is never switched off: without it anyone on the path could
// swap the installer being downloaded.
//
// libcurl's global initialisation belongs to the process entry; the tool
// sets CURLOPT_NOSIGNAL in every request, as use from several threads needs.
#pragma once
#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CDownloadThread;

class CLibcurlTool {
 public:
  // Longest header text that the header probe hands back.
  static constexpr size_t kHeaderTextLimit = 2000;
  // Longest reply body that the body GET and the POST collect; a longer
  // reply ends the transfer with CURLE_WRITE_ERROR.
  static constexpr size_t kReplyBodyLimit = 32u << 20;

  // Makes the tool's handle with curl_easy_init; it may be null.
  CLibcurlTool();
  // Takes ownership of handle, which may be null.
  explicit CLibcurlTool(CURL* handle);
  ~CLibcurlTool();  // cleans the handle up
  CLibcurlTool(const CLibcurlTool&) = delete;
  CLibcurlTool& operator=(const CLibcurlTool&) = delete;

  bool hasHandle() const { return handle_ != nullptr; }

  // Range download: asks for the bytes first..last (both included, decimal
  // "first-last") of url, as the worker's current slice, and writes them
  // into the worker's shared file through downloadFunc, checking every
  // response header with HeaderCallback. first must be the slice's
  // DownloadedPos. 20 s for the whole attempt, 3 s to connect, up to 5
  // redirects. A failure is logged through figureError and returned; a
  // reply with too many bytes fills the slice and then ends with
  // CURLE_WRITE_ERROR (23). Blocks the calling worker for the transfer.
  // CURLE_BAD_FUNCTION_ARGUMENT without a worker or current slice.
  CURLcode httpDownloadContent(const std::string& url, int64_t first, int64_t last,
                               CDownloadThread* worker);

  // Header probe (HEAD, redirects followed, 30 s): *headerText receives the
  // header blocks of every response of the chain, in order, cut to their
  // first kHeaderTextLimit bytes; *httpStatus the last response's status (0
  // without one). A failure is logged through figureError.
  CURLcode httpGet(const std::string& url, std::string* headerText, long* httpStatus);

  // Body GET (redirects followed, 5 s): *body is replaced by the body
  // received, whatever the result. Failures are not logged.
  CURLcode httpGet(const std::string& url, std::string* body);

  // Form POST of body (libcurl's default form content type, 8 s to connect,
  // 10 s in all) on a handle of its own, made and cleaned up here, so it
  // works on a tool without a handle. The reply body is appended to
  // *response. Failures are not logged.
  int HttpPost(const std::string& url, const std::string& body, std::string* response);

  // Logs the line that describes a libcurl result; always 1. Any thread.
  static int figureError(CURLcode code);

  // libcurl header callback of the range download (user pointer: the
  // worker). Keeps the worker's RangeResponse; for a slice of known length
  // also collects the Cloudflare headers ("CF-RAY", "CF-Cache-Status") into
  // its CdnStatus and answers 0, ending the transfer, for a "Content-Range"
  // without a total or with a total other than the slice's ContentLength.
  // Header names compare without regard to case, as HTTP/2 sends them in
  // lower case. Otherwise answers size x count.
  static size_t HeaderCallback(char* line, size_t size, size_t count, void* worker);

 private:
  struct HandleCleanup {
    void operator()(CURL* handle) const;
  };
  std::unique_ptr<CURL, HandleCleanup> handle_;
};

// libcurl write callback of the range download (user pointer: the worker).
// Under the worker's write mutex, writes the received bytes into the shared
// file at their offset in the remote file, never past the slice's last byte
// (nor past the file's end, for the last slice, which ends at the length
// itself), and advances the slice's DownloadedPos over what was written; the
// slice reads complete (DownloadedPos == EndPos) only once its last byte is
// in the file. Only a reply that is the asked range is written: 206 with a
// Content-Range starting at the asked byte, or 200 for a request from byte
// 0; anything else (an error page, a whole file sent for a later range) is
// refused. Returns the number of elements written; fewer than received ends
// the transfer with CURLE_WRITE_ERROR and is logged.
size_t downloadFunc(char* data, size_t size, size_t count, void* worker);
