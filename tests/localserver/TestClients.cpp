#include "TestClients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>

namespace localserver_test {
namespace {

using SlistPtr = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

void InitialiseCurlOnce() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  (void)initialised;
}

size_t AppendToString(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

struct UploadSource {
  const std::string* body;
  size_t offset;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* source) {
  auto* upload = static_cast<UploadSource*>(source);
  const size_t take = std::min(size * count, upload->body->size() - upload->offset);
  upload->body->copy(buffer, take, upload->offset);
  upload->offset += take;
  return take;
}

long MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<long>(left.count()) : 0;
}

}  // namespace

CurlClient::CurlClient() {
  InitialiseCurlOnce();
  handle_ = curl_easy_init();
}

CurlClient::~CurlClient() { curl_easy_cleanup(handle_); }

CurlResult CurlClient::Get(const std::string& url, const CurlOptions& options) {
  curl_easy_reset(handle_);
  curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
  return Perform(options);
}

CurlResult CurlClient::Post(const std::string& url, const std::string& body,
                            const CurlOptions& options) {
  curl_easy_reset(handle_);
  curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle_, CURLOPT_POST, 1L);
  UploadSource source{&body, 0};
  if (options.chunkedUpload) {
    curl_easy_setopt(handle_, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(handle_, CURLOPT_READDATA, &source);
  } else {
    curl_easy_setopt(handle_, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  }
  return Perform(options);
}

CurlResult CurlClient::Perform(const CurlOptions& options) {
  CurlResult result;
  SlistPtr headers(nullptr, curl_slist_free_all);
  for (const std::string& line : options.headers) {
    headers.reset(curl_slist_append(headers.release(), line.c_str()));
  }
  if (options.chunkedUpload) {
    headers.reset(curl_slist_append(headers.release(), "Transfer-Encoding: chunked"));
  }
  SlistPtr resolve(nullptr, curl_slist_free_all);
  for (const std::string& entry : options.resolve) {
    resolve.reset(curl_slist_append(resolve.release(), entry.c_str()));
  }
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers.get());
  if (!options.method.empty()) {
    curl_easy_setopt(handle_, CURLOPT_CUSTOMREQUEST, options.method.c_str());
  }
  curl_easy_setopt(handle_, CURLOPT_RESOLVE, resolve.get());
  curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle_, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS, options.timeoutMs);
  curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, options.followRedirects ? 1L : 0L);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, AppendToString);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &result.body);
  if (options.expectTimeoutMs > 0) {
    curl_easy_setopt(handle_, CURLOPT_EXPECT_100_TIMEOUT_MS, options.expectTimeoutMs);
  }
  curl_easy_setopt(handle_, CURLOPT_HTTP_VERSION,
                   options.offerHttp2 ? CURL_HTTP_VERSION_2TLS : CURL_HTTP_VERSION_1_1);
  if (!options.caFile.empty()) {
    curl_easy_setopt(handle_, CURLOPT_CAINFO, options.caFile.c_str());
    curl_easy_setopt(handle_, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle_, CURLOPT_SSL_VERIFYHOST, 2L);
  }
  result.code = curl_easy_perform(handle_);
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &result.status);
  curl_easy_getinfo(handle_, CURLINFO_NUM_CONNECTS, &result.newConnections);
  curl_easy_getinfo(handle_, CURLINFO_HTTP_VERSION, &result.httpVersion);
  curl_easy_getinfo(handle_, CURLINFO_TOTAL_TIME, &result.seconds);
  return result;
}

CurlResult FreshGet(const std::string& url, const CurlOptions& options) {
  CurlClient client;
  return client.Get(url, options);
}

RawConnection::RawConnection(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) close(fd_);
}

bool RawConnection::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void RawConnection::CloseSending() { shutdown(fd_, SHUT_WR); }

bool RawConnection::ReadSome(int timeoutMs) {
  pollfd readable{fd_, POLLIN, 0};
  if (poll(&readable, 1, timeoutMs) <= 0) return false;
  char chunk[16 * 1024];
  const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
  if (n <= 0) return false;
  buffer_.append(chunk, static_cast<size_t>(n));
  return true;
}

std::string RawConnection::ReadUntil(const std::string& marker, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  size_t found = buffer_.find(marker);
  while (found == std::string::npos) {
    if (!ReadSome(static_cast<int>(MillisecondsLeft(deadline)))) return std::string();
    found = buffer_.find(marker);
  }
  const std::string taken = buffer_.substr(0, found + marker.size());
  buffer_.erase(0, taken.size());
  return taken;
}

std::string RawConnection::ReadResponse(bool headOnly, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string response = ReadUntil("\r\n\r\n", timeoutMs);
  const size_t field = response.find("\r\nContent-Length: ");
  if (response.empty() || headOnly || field == std::string::npos) return response;
  const size_t length = std::strtoul(response.c_str() + field + 18, nullptr, 10);
  while (buffer_.size() < length) {
    if (!ReadSome(static_cast<int>(MillisecondsLeft(deadline)))) return std::string();
  }
  response += buffer_.substr(0, length);
  buffer_.erase(0, length);
  return response;
}

bool RawConnection::ReadToClose(std::string* rest, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd readable{fd_, POLLIN, 0};
    if (poll(&readable, 1, static_cast<int>(MillisecondsLeft(deadline))) <= 0) return false;
    char chunk[16 * 1024];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    buffer_.append(chunk, static_cast<size_t>(n));
  }
  if (rest != nullptr) *rest = buffer_;
  buffer_.clear();
  return true;
}

}  // namespace localserver_test
