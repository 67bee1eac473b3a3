// Shared pieces of the transfer-layer tests: a log recorder, a remote file
// whose bytes are computed from their offset (so any range of any size can
// be served without holding it, and a byte in the wrong place shows), a
// range-serving handler for the local server, and download workers that
// write into one shared local file.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CDownloadThread.h"
#include "CLibcurlTool.h"
#include "CTask.h"
#include "LocalHttpServer.h"
#include "platform/NamedMutex.h"
#include "platform/SharedFile.h"
#include "support/LogRecorder.h"
#include "support/TestEnvironment.h"

namespace http_test {

using LogRecorder = testing_support::LogRecorder;

// The remote file's byte at offset, and count bytes from first.
char FileByte(int64_t offset);
std::string FileBytes(int64_t first, int64_t count);

// How the range handler answers.
struct RangeServing {
  explicit RangeServing(int64_t fileLength) : length(fileLength) {}
  int64_t length;                // length of the remote file
  int64_t announcedTotal = -1;   // total in Content-Range; -1: length
  int64_t extraBytes = 0;        // bytes sent beyond the asked range
  int64_t truncateAt = -1;       // cut the body after this many bytes
  bool ignoreRange = false;      // answer 200 with the whole file
  localserver::Headers headers;  // added to every range reply
};
// Answers "Range: bytes=A-B" with 206 and "Content-Range: bytes A-B'/total"
// (B' clipped to the file), a range past the end with 416, and a request
// without Range with 200 and the whole file.
localserver::Handler ServeRanges(RangeServing serving);

// A test's local file with the write mutex, as a worker pool holds them.
class SharedTarget {
 public:
  explicit SharedTarget(const std::string& path);
  const std::string& path() const { return path_; }
  platform::NamedMutex& mutex() { return mutex_; }
  platform::SharedFile& file() { return file_; }
  std::string Contents() const;  // read from disk, not through the file object

 private:
  std::string path_;
  platform::NamedMutex mutex_;
  platform::SharedFile file_;
};

// A worker with one slice of the remote file.
struct SliceWorker {
  SliceWorker(SharedTarget* target, int64_t startPos, int64_t endPos, int64_t contentLength);
  CTask task;
  CDownloadThread worker;
};

// Feeds one response head line to the header callback, as libcurl would.
size_t FeedHeader(CDownloadThread* worker, const std::string& line);
// Starts a response to a request from first: resets the worker's response
// record and feeds a status line and (when rangeLine is not empty) a
// Content-Range line.
void StartResponse(CDownloadThread* worker, int64_t first, const std::string& statusLine,
                   const std::string& rangeLine = std::string());
// Passes body bytes to downloadFunc; returns what it answers.
size_t FeedBody(CDownloadThread* worker, const std::string& bytes);

// Starts libcurl once for the test binary.
void InitCurlOnce();

// A sandbox and a plain local server.
class HttpServerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Url(const std::string& path) const { return server_->BaseUrl() + path; }

  testing_support::TestEnvironment env_;
  std::unique_ptr<localserver::LocalHttpServer> server_;
  LogRecorder log_;
};

}  // namespace http_test
