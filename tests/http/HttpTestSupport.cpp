#include "HttpTestSupport.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

#include "Logging.h"

namespace http_test {
namespace {

localserver::Reply RangeReply(const RangeServing& serving, const localserver::Request& request) {
  const std::string total =
      std::to_string(serving.announcedTotal >= 0 ? serving.announcedTotal : serving.length);
  const std::string range = request.Header("Range");
  localserver::Reply reply;
  reply.headers = serving.headers;
  int64_t first = 0;
  int64_t last = serving.length - 1;
  if (range.rfind("bytes=", 0) == 0 && !serving.ignoreRange) {
    const size_t dash = range.find('-');
    first = std::stoll(range.substr(6, dash - 6));
    if (dash + 1 < range.size()) last = std::min<int64_t>(last, std::stoll(range.substr(dash + 1)));
    if (first >= serving.length) {
      reply.status = 416;
      reply.headers.push_back({"Content-Range", "bytes */" + total});
      return reply;
    }
    reply.status = 206;
    reply.headers.push_back({"Content-Range", "bytes " + std::to_string(first) + "-" +
                                                  std::to_string(last) + "/" + total});
  }
  reply.body = FileBytes(first, last - first + 1 + serving.extraBytes);
  reply.truncateBodyAt = serving.truncateAt;
  return reply;
}

}  // namespace

char FileByte(int64_t offset) {
  const uint64_t mixed = static_cast<uint64_t>(offset) * 0x9E3779B97F4A7C15ull;
  return static_cast<char>(mixed >> 56);
}

std::string FileBytes(int64_t first, int64_t count) {
  std::string bytes(static_cast<size_t>(std::max<int64_t>(count, 0)), '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = FileByte(first + static_cast<int64_t>(i));
  return bytes;
}

localserver::Handler ServeRanges(RangeServing serving) {
  return [serving](const localserver::Request& request) { return RangeReply(serving, request); };
}

SharedTarget::SharedTarget(const std::string& path) : path_(path) {
  EXPECT_TRUE(mutex_.Create(kDownloadWriteMutexName, false, nullptr));
  uint32_t error = 0;
  EXPECT_TRUE(file_.Open(path, &error)) << error;
}

std::string SharedTarget::Contents() const { return testing_support::ReadFile(path_); }

SliceWorker::SliceWorker(SharedTarget* target, int64_t startPos, int64_t endPos,
                         int64_t contentLength)
    : worker(&target->mutex(), &target->file()) {
  task.TaskId = 1;
  task.StartPos = startPos;
  task.EndPos = endPos;
  task.DownloadedPos = startPos;
  task.ContentLength = contentLength;
  worker.setCurrentTask(&task);
}

size_t FeedHeader(CDownloadThread* worker, const std::string& line) {
  std::string copy = line;
  return CLibcurlTool::HeaderCallback(copy.data(), 1, copy.size(), worker);
}

void StartResponse(CDownloadThread* worker, int64_t first, const std::string& statusLine,
                   const std::string& rangeLine) {
  worker->rangeResponse().Reset(first);
  FeedHeader(worker, statusLine);
  if (!rangeLine.empty()) FeedHeader(worker, rangeLine);
}

size_t FeedBody(CDownloadThread* worker, const std::string& bytes) {
  std::string copy = bytes;
  return downloadFunc(copy.data(), 1, copy.size(), worker);
}

void InitCurlOnce() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  ASSERT_TRUE(initialised);
}

void HttpServerTest::SetUp() {
  InitCurlOnce();
  server_ = std::make_unique<localserver::LocalHttpServer>();
  ASSERT_TRUE(server_->Start());
}

void HttpServerTest::TearDown() { server_->Stop(); }

}  // namespace http_test
