// The download server as libcurl (the program's client) sees it: ranges,
// HEAD, redirects, CDN headers, rate limits, every fault, the update server's
// reply and byte counts; plus the pieces it is made of (range judging, rate
// pacing, rules) and the streamed replies of the underlying server.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ByteRange.h"
#include "DownloadServer.h"
#include "RatePacer.h"
#include "TestCertificates.h"
#include "support/TestEnvironment.h"

using localserver::ByteRange;
using localserver::Content;
using localserver::DownloadServer;
using localserver::Exchange;
using localserver::Fault;
using localserver::RatePacer;
using localserver::Rule;
using localserver::ServedFile;

namespace {

using Clock = std::chrono::steady_clock;
using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using SlistPtr = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

constexpr char kFile[] = "/files/lumaclear_setup.exe";

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Pseudo-random bytes, so that a shifted, repeated or dropped piece shows.
std::string Noise(size_t size, uint32_t seed = 2463534242u) {
  std::string bytes(size, '\0');
  uint32_t state = seed;
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

void WriteBinary(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

size_t Append(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

struct BodySink {
  std::string* body;
  const std::function<void(size_t)>* progress;
};

size_t AppendBody(char* data, size_t size, size_t count, void* target) {
  auto* sink = static_cast<BodySink*>(target);
  sink->body->append(data, size * count);
  if (*sink->progress) (*sink->progress)(sink->body->size());
  return size * count;
}

struct FetchOptions {
  std::string range;                 // "a-b" for "Range: bytes=a-b"; "" none
  std::vector<std::string> headers;  // extra request header lines
  bool head = false;                 // HEAD, as the program's length probe asks
  std::string method;                // another method; "" GET
  bool follow = false;
  long maxRedirects = 5;
  long timeoutMs = 20000;
  std::string caFile;
  std::string resolve;  // "host:port:127.0.0.1"
  // Called on the fetching thread with the body's size after every piece.
  std::function<void(size_t received)> progress;
};

struct Fetched {
  CURLcode code = CURLE_OK;
  long status = 0;
  long redirects = 0;
  std::string headers;  // every header block received, in order
  std::string body;

  // A header of the last response; "" when absent.
  std::string Header(const std::string& name) const {
    const size_t block = headers.rfind("HTTP/");
    const std::string wanted = "\r\n" + name + ":";
    const size_t at = headers.find(wanted, block == std::string::npos ? 0 : block);
    if (at == std::string::npos) return std::string();
    const size_t start = headers.find_first_not_of(' ', at + wanted.size());
    return headers.substr(start, headers.find("\r\n", start) - start);
  }
};

void InitialiseCurlOnce() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  ASSERT_TRUE(initialised);
}

// One request on the given handle (its connection cache carries over).
Fetched Fetch(CURL* handle, const std::string& url, const FetchOptions& options) {
  Fetched fetched;
  curl_easy_reset(handle);
  SlistPtr headers(nullptr, curl_slist_free_all);
  for (const std::string& line : options.headers) {
    headers.reset(curl_slist_append(headers.release(), line.c_str()));
  }
  SlistPtr resolve(nullptr, curl_slist_free_all);
  if (!options.resolve.empty()) resolve.reset(curl_slist_append(nullptr, options.resolve.c_str()));
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_RESOLVE, resolve.get());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, options.timeoutMs);
  if (!options.range.empty()) curl_easy_setopt(handle, CURLOPT_RANGE, options.range.c_str());
  curl_easy_setopt(handle, CURLOPT_NOBODY, options.head ? 1L : 0L);
  if (!options.method.empty()) {
    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, options.method.c_str());
  }
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, options.follow ? 1L : 0L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, options.maxRedirects);
  BodySink sink{&fetched.body, &options.progress};
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, Append);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &fetched.headers);
  if (!options.caFile.empty()) {
    curl_easy_setopt(handle, CURLOPT_CAINFO, options.caFile.c_str());
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
  }
  fetched.code = curl_easy_perform(handle);
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &fetched.status);
  curl_easy_getinfo(handle, CURLINFO_REDIRECT_COUNT, &fetched.redirects);
  return fetched;
}

Fetched FetchFresh(const std::string& url, const FetchOptions& options) {
  CurlHandle handle(curl_easy_init(), curl_easy_cleanup);
  return Fetch(handle.get(), url, options);
}

// A started server, plain or TLS by the test's parameter, with one file.
class DownloadServerTest : public ::testing::TestWithParam<bool> {
 protected:
  static constexpr size_t kFileSize = 100 * 1024;

  void SetUp() override {
    InitialiseCurlOnce();
    if (Tls()) {
      ASSERT_TRUE(localserver::MakeTestCertificates(environment_.Root() + "/tls", &certificates_));
      server_ = std::make_unique<DownloadServer>(certificates_.server);
    } else {
      server_ = std::make_unique<DownloadServer>();
    }
    ASSERT_TRUE(server_->Start());
    server_->AddFile(kFile, Content::Text(bytes_));
  }

  bool Tls() const { return GetParam(); }
  FetchOptions Options() const {
    FetchOptions options;
    options.caFile = certificates_.caCertificatePem;
    return options;
  }
  FetchOptions Ranged(const std::string& range) const {
    FetchOptions options = Options();
    options.range = range;
    return options;
  }
  Fetched Get(const std::string& path, const FetchOptions& options) const {
    return FetchFresh(server_->Url(path), options);
  }
  Fetched Get(const std::string& path = kFile) const { return Get(path, Options()); }
  std::string Slice(size_t first, size_t count) const { return bytes_.substr(first, count); }

  testing_support::TestEnvironment environment_;
  localserver::TestCertificates certificates_;
  std::unique_ptr<DownloadServer> server_;
  const std::string bytes_ = Noise(kFileSize);
};

struct RangeCase {
  const char* name;
  std::vector<std::string> headers;
  long status;
  const char* contentRange;  // "" when the answer has none
  size_t first;              // the body: bytes_ from first, count bytes
  size_t count;
};

TEST_P(DownloadServerTest, AnswersRangesAsAClientAsksThem) {
  const RangeCase cases[] = {
      {"no range", {}, 200, "", 0, kFileSize},
      {"closed range", {"Range: bytes=0-99"}, 206, "bytes 0-99/102400", 0, 100},
      {"open range", {"Range: bytes=102000-"}, 206, "bytes 102000-102399/102400", 102000, 400},
      {"suffix", {"Range: bytes=-100"}, 206, "bytes 102300-102399/102400", 102300, 100},
      {"last slice asks up to the length itself",
       {"Range: bytes=98304-102400"},
       206,
       "bytes 98304-102399/102400",
       98304,
       4096},
      {"suffix longer than the file",
       {"Range: bytes=-200000"},
       206,
       "bytes 0-102399/102400",
       0,
       kFileSize},
      {"unit in capitals, blanks", {"Range: BYTES = 5-9 "}, 206, "bytes 5-9/102400", 5, 5},
      {"several ranges are ignored", {"Range: bytes=0-1,5-6"}, 200, "", 0, kFileSize},
      {"malformed range is ignored", {"Range: bytes=x-y"}, 200, "", 0, kFileSize},
      {"other unit is ignored", {"Range: items=0-1"}, 200, "", 0, kFileSize},
  };
  CurlHandle keptAlive(curl_easy_init(), curl_easy_cleanup);
  for (const RangeCase& row : cases) {
    SCOPED_TRACE(row.name);
    FetchOptions options = Options();
    options.headers = row.headers;
    const Fetched fetched = Fetch(keptAlive.get(), server_->Url(kFile), options);
    ASSERT_EQ(fetched.code, CURLE_OK) << curl_easy_strerror(fetched.code);
    EXPECT_EQ(fetched.status, row.status);
    EXPECT_EQ(fetched.Header("Content-Range"), row.contentRange);
    EXPECT_EQ(fetched.Header("Accept-Ranges"), "bytes");
    EXPECT_EQ(fetched.Header("Content-Length"), std::to_string(row.count));
    EXPECT_TRUE(fetched.body == Slice(row.first, row.count));

    options.head = true;
    const Fetched head = Fetch(keptAlive.get(), server_->Url(kFile), options);
    ASSERT_EQ(head.code, CURLE_OK);
    EXPECT_EQ(head.status, row.status);
    EXPECT_EQ(head.Header("Content-Length"), std::to_string(row.count));
    EXPECT_EQ(head.Header("Content-Range"), row.contentRange);
    EXPECT_EQ(head.body, "");
  }
  // One connection carried every answer: each left the connection in step.
  const auto requests = server_->Server().Requests();
  ASSERT_EQ(requests.size(), 2 * std::size(cases));
  EXPECT_EQ(requests.front().connection, requests.back().connection);
}

TEST_P(DownloadServerTest, ARangeBeyondTheEndIsRefusedWithTheTotal) {
  for (const char* range : {"102400-", "102400-200000", "-0"}) {
    SCOPED_TRACE(range);
    const Fetched fetched = Get(kFile, Ranged(range));
    ASSERT_EQ(fetched.code, CURLE_OK);
    EXPECT_EQ(fetched.status, 416);
    EXPECT_EQ(fetched.Header("Content-Range"), "bytes */102400");
  }
  server_->AddFile("/empty", Content());
  const Fetched empty = Get("/empty", Ranged("0-"));
  EXPECT_EQ(empty.status, 416);
  EXPECT_EQ(empty.Header("Content-Range"), "bytes */0");
  EXPECT_EQ(Get("/empty").status, 200);
}

TEST_P(DownloadServerTest, UnknownPathsAndOtherMethodsAreRefused) {
  EXPECT_EQ(Get("/files/other.exe").status, 404);
  FetchOptions remove = Options();
  remove.method = "DELETE";
  const Fetched refused = Get(kFile, remove);
  EXPECT_EQ(refused.status, 405);
  EXPECT_EQ(refused.Header("Allow"), "GET, HEAD");
}

TEST_P(DownloadServerTest, ServesADiskFileAsItIsAtEachRequest) {
  const std::string path = environment_.Root() + "/served.bin";
  const std::string first = Noise(300000, 1);
  WriteBinary(path, first);
  server_->AddFile("/disk.bin", Content::DiskFile(path));
  const Fetched whole = Get("/disk.bin");
  EXPECT_EQ(whole.status, 200);
  EXPECT_TRUE(whole.body == first);
  const Fetched part = Get("/disk.bin", Ranged("262000-262143"));
  EXPECT_EQ(part.status, 206);
  EXPECT_TRUE(part.body == first.substr(262000, 144));

  const std::string second = Noise(1000, 2);
  WriteBinary(path, second);
  const Fetched changed = Get("/disk.bin", Ranged("0-"));
  EXPECT_EQ(changed.Header("Content-Range"), "bytes 0-999/1000");
  EXPECT_TRUE(changed.body == second);

  std::remove(path.c_str());
  EXPECT_EQ(Get("/disk.bin").status, 404);
}

TEST_P(DownloadServerTest, FollowsRedirectChainsUpToTheClientsLimit) {
  server_->AddRedirectChain("/r/five", 5, kFile);
  server_->AddRedirectChain("/r/six", 6, kFile);
  FetchOptions follow = Options();
  follow.follow = true;

  const Fetched five = Get("/r/five", follow);
  ASSERT_EQ(five.code, CURLE_OK);
  EXPECT_EQ(five.status, 200);
  EXPECT_EQ(five.redirects, 5);
  EXPECT_TRUE(five.body == bytes_);

  const Fetched six = Get("/r/six", follow);
  EXPECT_EQ(six.code, CURLE_TOO_MANY_REDIRECTS);
  EXPECT_EQ(six.redirects, 5);

  const Fetched unfollowed = Get("/r/six");
  EXPECT_EQ(unfollowed.status, 302);
  EXPECT_EQ(unfollowed.Header("Location"), server_->Url("/r/six/2"));
}

TEST_P(DownloadServerTest, ALengthProbeSeesEveryHopAndTheFinalLength) {
  server_->AddRedirect("/r/cdn", "/r/edge", 301);
  server_->AddRedirect("/r/edge", kFile, 302);
  FetchOptions probe = Options();
  probe.head = true;
  probe.follow = true;
  // The Location keeps the host name the client used.
  const int port = server_->Server().Port();
  probe.resolve = "localhost:" + std::to_string(port) + ":127.0.0.1";
  const std::string base =
      std::string(Tls() ? "https" : "http") + "://localhost:" + std::to_string(port);
  const Fetched fetched = FetchFresh(base + "/r/cdn", probe);
  ASSERT_EQ(fetched.code, CURLE_OK) << curl_easy_strerror(fetched.code);
  EXPECT_EQ(fetched.status, 200);
  EXPECT_NE(fetched.headers.find("HTTP/1.1 301 Moved Permanently\r\n"), std::string::npos);
  EXPECT_NE(fetched.headers.find("\r\nLocation: " + base + "/r/edge\r\n"), std::string::npos);
  EXPECT_NE(fetched.headers.find("\r\nLocation: " + base + kFile + "\r\n"), std::string::npos);
  EXPECT_EQ(fetched.Header("Content-Length"), "102400");
  for (const auto& request : server_->Server().Requests()) EXPECT_EQ(request.method, "HEAD");
}

TEST_P(DownloadServerTest, AddsCdnHeadersPerFileAndPerRequest) {
  ServedFile cdn;
  cdn.content = Content::Text("cdn bytes");
  cdn.headers = {{"CF-RAY", "8a1b2c3d4e5f6a7b-FRA"}, {"CF-Cache-Status", "HIT"}};
  server_->AddFile("/files/cdn.exe", cdn);
  Rule once = Rule::For("", "/files/cdn.exe", Fault::None());
  once.headers = {{"X-Cache", "MISS from edge"}};
  server_->AddRule(once);

  FetchOptions head = Options();
  head.head = true;
  const Fetched first = Get("/files/cdn.exe", head);
  const Fetched second = Get("/files/cdn.exe", Ranged("0-2"));
  for (const Fetched* fetched : {&first, &second}) {
    EXPECT_EQ(fetched->Header("CF-RAY"), "8a1b2c3d4e5f6a7b-FRA");
    EXPECT_EQ(fetched->Header("CF-Cache-Status"), "HIT");
  }
  EXPECT_EQ(first.Header("X-Cache"), "MISS from edge");
  EXPECT_EQ(second.Header("X-Cache"), "");
  EXPECT_EQ(second.body, "cdn");
  EXPECT_EQ(Get().Header("CF-RAY"), "");
}

struct FaultCase {
  const char* name;
  Fault fault;
  long clientTimeoutMs;
  CURLcode code;
  long status;
  const char* contentRange;
  std::string body;  // expected, as received
  int64_t bodyBytes;
};

// The range 1000-50999 of the file, through each fault.
TEST_P(DownloadServerTest, EachFaultReachesTheClientAsAdvertised) {
  const std::string range = Slice(1000, 50000);
  const std::string changed = Noise(kFileSize, 7);
  const FaultCase cases[] = {
      {"not found", Fault::NotFound(), 20000, CURLE_OK, 404, "", "Not Found", 9},
      {"refused", Fault::Status(503), 20000, CURLE_OK, 503, "", "Service Unavailable", 19},
      {"wrong total", Fault::WrongTotal(999), 20000, CURLE_OK, 206, "bytes 1000-50999/999", range,
       50000},
      {"extra bytes", Fault::ExtraBytes(10), 20000, CURLE_OK, 206, "bytes 1000-50999/102400",
       range + std::string(10, '!'), 50010},
      {"dropped mid-body", Fault::DropAfter(4096), 20000, CURLE_PARTIAL_FILE, 206,
       "bytes 1000-50999/102400", range.substr(0, 4096), 4096},
      {"stalled mid-body", Fault::StallAfter(4096), 2000, CURLE_OPERATION_TIMEDOUT, 206,
       "bytes 1000-50999/102400", range.substr(0, 4096), 4096},
      {"changed body", Fault::ChangedBody(Content::Text(changed)), 20000, CURLE_OK, 206,
       "bytes 1000-50999/102400", changed.substr(1000, 50000), 50000},
  };
  for (const FaultCase& row : cases) {
    SCOPED_TRACE(row.name);
    server_->ClearExchanges();
    server_->QueueFaults({row.fault});
    FetchOptions options = Ranged("1000-50999");
    options.timeoutMs = row.clientTimeoutMs;
    const Fetched fetched = Get(kFile, options);
    EXPECT_EQ(fetched.code, row.code) << curl_easy_strerror(fetched.code);
    EXPECT_EQ(fetched.status, row.status);
    EXPECT_EQ(fetched.Header("Content-Range"), row.contentRange);
    EXPECT_TRUE(fetched.body == row.body) << fetched.body.size() << " bytes received";
    // A stalled answer ends when the client gives up, not before.
    ASSERT_TRUE(server_->WaitForExchanges(1, 20000));
    const Exchange exchange = server_->Exchanges().at(0);
    EXPECT_STREQ(localserver::FaultName(exchange.fault), localserver::FaultName(row.fault.kind));
    EXPECT_EQ(exchange.status, row.status);
    EXPECT_EQ(exchange.bodyBytes, row.bodyBytes);

    const Fetched next = Get(kFile, Ranged("1000-50999"));
    EXPECT_EQ(next.code, CURLE_OK);
    EXPECT_TRUE(next.body == range);
  }
}

TEST_P(DownloadServerTest, AWrongTotalReachesAPlainGetAndAProbeToo) {
  server_->AddRule(Rule::For("", kFile, Fault::WrongTotal(5)));
  FetchOptions head = Options();
  head.head = true;
  const Fetched probe = Get(kFile, head);
  EXPECT_EQ(probe.status, 200);
  EXPECT_EQ(probe.Header("Content-Range"), "bytes 0-102399/5");
  EXPECT_EQ(probe.Header("Content-Length"), "102400");
}

TEST_P(DownloadServerTest, RulesPickRequestsByMethodPathRangeAndWindow) {
  Rule slice = Rule::For("GET", kFile, Fault::NotFound());
  slice.rangeFirst = 4096;
  slice.times = -1;
  server_->AddRule(slice);
  Rule window = Rule::For("HEAD", kFile, Fault::Status(503));
  window.skip = 1;
  window.times = 2;
  server_->AddRule(window);

  EXPECT_EQ(Get(kFile, Ranged("0-4095")).status, 206);
  EXPECT_EQ(Get(kFile, Ranged("4096-8191")).status, 404);
  EXPECT_EQ(Get(kFile, Ranged("4096-")).status, 404);
  EXPECT_EQ(Get(kFile, Ranged("4097-8191")).status, 206);
  FetchOptions head = Options();
  head.head = true;
  std::vector<long> statuses;
  for (int i = 0; i < 4; ++i) statuses.push_back(Get(kFile, head).status);
  EXPECT_EQ(statuses, (std::vector<long>{200, 503, 503, 200}));

  server_->ClearFaults();
  EXPECT_EQ(Get(kFile, Ranged("4096-8191")).status, 206);
}

TEST_P(DownloadServerTest, QueuedFaultsGoToFileRequestsInOrderBeforeRules) {
  server_->SetConfigurationReply(200, "<Downloader></Downloader>");
  Rule headers = Rule::For("", kFile, Fault::StallAfter(0));
  headers.times = -1;
  headers.headers = {{"X-Cache", "HIT"}};
  server_->AddRule(headers);
  server_->QueueFaults({Fault::NotFound(), Fault::None(), Fault::DropAfter(10)});

  // The configuration request does not take a queued fault.
  EXPECT_EQ(Get("/queryDownloaderV2?LanguageId=1").status, 200);
  const Fetched first = Get();
  const Fetched second = Get();
  const Fetched third = Get();
  EXPECT_EQ(first.status, 404);
  EXPECT_EQ(second.code, CURLE_OK);
  EXPECT_TRUE(second.body == bytes_);
  EXPECT_EQ(third.code, CURLE_PARTIAL_FILE);
  // The rule's headers still come with the queue's faults.
  for (const Fetched* fetched : {&first, &second, &third}) {
    EXPECT_EQ(fetched->Header("X-Cache"), "HIT");
  }
  // Queue spent: the rule's stall applies again.
  FetchOptions impatient = Options();
  impatient.timeoutMs = 300;
  EXPECT_EQ(Get(kFile, impatient).code, CURLE_OPERATION_TIMEDOUT);
}

TEST_P(DownloadServerTest, AFileCanChangeAfterItsFirstRequest) {
  const std::string longer = Noise(kFileSize + 1, 9);
  Rule changes = Rule::For("", kFile, Fault::ChangedBody(Content::Text(longer)));
  changes.skip = 1;
  changes.times = -1;
  server_->AddRule(changes);
  EXPECT_TRUE(Get(kFile, Ranged("0-9")).body == bytes_.substr(0, 10));
  const Fetched after = Get(kFile, Ranged("0-9"));
  EXPECT_TRUE(after.body == longer.substr(0, 10));
  EXPECT_EQ(after.Header("Content-Range"), "bytes 0-9/102401");
  EXPECT_TRUE(Get().body == longer);
}

// A fetch on another thread; `arrived` is ready once the body has reached
// the awaited size.
struct Background {
  std::promise<void> reached;
  std::future<void> arrived = reached.get_future();
  std::future<Fetched> fetched;
};

std::unique_ptr<Background> FetchInBackground(const std::string& url, FetchOptions options,
                                              size_t bytes) {
  auto background = std::make_unique<Background>();
  auto reached = std::make_shared<bool>(false);
  options.progress = [promise = &background->reached, reached, bytes](size_t received) {
    if (received < bytes || *reached) return;
    *reached = true;
    promise->set_value();
  };
  background->fetched =
      std::async(std::launch::async, [url, options] { return FetchFresh(url, options); });
  return background;
}

TEST_P(DownloadServerTest, AStallHoldsTheConnectionUntilTheServerStops) {
  server_->QueueFaults({Fault::StallAfter(100)});
  FetchOptions patient = Options();
  patient.timeoutMs = 120000;
  const auto background = FetchInBackground(server_->Url(kFile), patient, 100);
  ASSERT_EQ(background->arrived.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  const auto start = Clock::now();
  server_->Stop();
  EXPECT_LT(MillisecondsSince(start), 10000);
  const Fetched fetched = background->fetched.get();
  EXPECT_EQ(fetched.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(fetched.body.size(), 100u);
}

TEST_P(DownloadServerTest, ARateLimitHoldsTheBodyBackAndStopCutsItShort) {
  // 128 KiB at 256 KiB/s: the last piece cannot leave before
  // (128 KiB - one piece) / rate = 0.45 s; only this lower bound is checked.
  server_->AddFile("/slow.bin", Content::Text(Noise(128 * 1024, 3)));
  server_->SetRateLimit(256 * 1024);
  const auto start = Clock::now();
  const Fetched paced = Get("/slow.bin");
  EXPECT_EQ(paced.code, CURLE_OK);
  EXPECT_EQ(paced.body.size(), 128u * 1024);
  EXPECT_GE(MillisecondsSince(start), 400);

  ServedFile crawling;
  crawling.content = Content::Text(Noise(1000, 4));
  crawling.bytesPerSecond = 1;
  server_->AddFile("/crawl.bin", crawling);
  const auto background = FetchInBackground(server_->Url("/crawl.bin"), Options(), 1);
  ASSERT_EQ(background->arrived.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  const auto stopping = Clock::now();
  server_->Stop();
  EXPECT_LT(MillisecondsSince(stopping), 10000);
  const Fetched crawled = background->fetched.get();
  EXPECT_EQ(crawled.code, CURLE_PARTIAL_FILE);
  EXPECT_LT(crawled.body.size(), 1000u);
}

TEST_P(DownloadServerTest, PlaysTheUpdateServer) {
  const std::string query = "LanguageId=1033&SoftWareID=127&SiteID=61";
  EXPECT_EQ(Get("/queryDownloaderV2?" + query).status, 404);

  const std::string reply = "junk<Downloader><Md5>abc</Md5></Downloader>tail";
  server_->SetConfigurationReply(200, reply);
  const Fetched fetched = Get("/queryDownloaderV2?" + query + "&package_type=5");
  EXPECT_EQ(fetched.status, 200);
  EXPECT_EQ(fetched.body, reply);
  EXPECT_EQ(Get("/api/queryDownloaderV2?" + query).body, reply);

  server_->SetConfigurationReply(500, "");
  EXPECT_EQ(Get("/queryDownloaderV2?" + query).status, 500);

  // A stall needs a body to cut: an empty body is complete with the head.
  server_->SetConfigurationReply(200, reply);
  server_->AddRule(Rule::For("GET", "/queryDownloaderV2", Fault::StallAfter(0)));
  FetchOptions impatient = Options();
  impatient.timeoutMs = 300;
  EXPECT_EQ(Get("/queryDownloaderV2?" + query, impatient).code, CURLE_OPERATION_TIMEDOUT);

  EXPECT_EQ(server_->ConfigurationQueries(),
            (std::vector<std::string>{query, query + "&package_type=5", query, query, query}));
}

TEST_P(DownloadServerTest, CountsTheBodyBytesOfEachAnswer) {
  FetchOptions head = Options();
  head.head = true;
  Get(kFile, head);
  Get(kFile, Ranged("0-999"));
  server_->QueueFaults({Fault::DropAfter(123)});
  Get(kFile, Ranged("1000-"));
  Get("/nothing");
  ASSERT_TRUE(server_->WaitForExchanges(4, 20000));
  const std::vector<Exchange> exchanges = server_->Exchanges();
  ASSERT_EQ(exchanges.size(), 4u);
  EXPECT_EQ(exchanges[0].request.method, "HEAD");
  EXPECT_EQ(exchanges[0].bodyBytes, 0);
  EXPECT_EQ(exchanges[1].bodyBytes, 1000);
  EXPECT_EQ(exchanges[1].request.Header("Range"), "bytes=0-999");
  EXPECT_EQ(exchanges[2].bodyBytes, 123);
  EXPECT_EQ(exchanges[2].fault, Fault::Kind::kDropAfter);
  EXPECT_EQ(exchanges[3].status, 404);
  EXPECT_EQ(server_->BodyBytesServed(), 0 + 1000 + 123 + exchanges[3].bodyBytes);

  server_->ClearExchanges();
  EXPECT_EQ(server_->BodyBytesServed(), 0);
  EXPECT_TRUE(server_->Exchanges().empty());
}

INSTANTIATE_TEST_SUITE_P(Transports, DownloadServerTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tls" : "Plain"; });

// A 64 MiB file on disk, fetched in 4 MiB slices by four clients at once, as
// the program's workers fetch it.
TEST(DownloadServerLargeFileTest, SlicesFetchedInParallelReassembleToTheSameBytes) {
  InitialiseCurlOnce();
  constexpr size_t kSize = 64 * 1024 * 1024;
  constexpr size_t kSlice = 4 * 1024 * 1024;
  constexpr size_t kSlices = kSize / kSlice;
  constexpr size_t kClients = 4;
  testing_support::TestEnvironment environment;
  const std::string path = environment.Root() + "/large.bin";
  const std::string original = Noise(kSize, 11);
  WriteBinary(path, original);
  DownloadServer server;
  ASSERT_TRUE(server.Start());
  server.AddFile(kFile, Content::DiskFile(path));

  FetchOptions head;
  head.head = true;
  EXPECT_EQ(FetchFresh(server.Url(kFile), head).Header("Content-Length"), std::to_string(kSize));

  std::string assembled(kSize, '\0');
  std::vector<std::future<bool>> clients;
  for (size_t client = 0; client < kClients; ++client) {
    clients.push_back(std::async(std::launch::async, [&, client] {
      CurlHandle handle(curl_easy_init(), curl_easy_cleanup);
      bool allFine = true;
      for (size_t slice = client; slice < kSlices; slice += kClients) {
        FetchOptions options;
        options.range =
            std::to_string(slice * kSlice) + "-" + std::to_string((slice + 1) * kSlice - 1);
        const Fetched fetched = Fetch(handle.get(), server.Url(kFile), options);
        allFine = allFine && fetched.code == CURLE_OK && fetched.status == 206 &&
                  fetched.body.size() == kSlice;
        if (fetched.body.size() == kSlice) {
          std::copy(fetched.body.begin(), fetched.body.end(), assembled.begin() + slice * kSlice);
        }
      }
      return allFine;
    }));
  }
  for (auto& client : clients) EXPECT_TRUE(client.get());
  EXPECT_TRUE(assembled == original);
  ASSERT_TRUE(server.WaitForExchanges(kSlices + 1, 20000));
  EXPECT_EQ(server.BodyBytesServed(), static_cast<int64_t>(kSize));
}

// The pacing arithmetic, on a clock of the test's own.
TEST(RatePacerTest, SpreadsBytesOverTimeAtTheRate) {
  const RatePacer::Clock::time_point start{std::chrono::seconds(1000)};
  using std::chrono::milliseconds;
  using std::chrono::nanoseconds;
  using std::chrono::seconds;
  const RatePacer paced(1000, start);
  EXPECT_TRUE(paced.Limited());
  EXPECT_EQ(paced.DueTime(0), start);
  EXPECT_EQ(paced.DueTime(1000), start + seconds(1));
  EXPECT_EQ(paced.DueTime(1500), start + milliseconds(1500));
  EXPECT_EQ(paced.DueTime(1), start + milliseconds(1));
  EXPECT_EQ(RatePacer(3, start).DueTime(1), start + nanoseconds(333333333));
  // A rate above 9 GB/s, where remainder × 10^9 would overflow 64 bits.
  const int64_t fast = int64_t{10} * 1000 * 1000 * 1000;
  EXPECT_EQ(RatePacer(fast, start).DueTime(fast + fast / 2), start + milliseconds(1500));
  // Far beyond any test: saturates instead of wrapping into the past.
  EXPECT_GT(RatePacer(1, start).DueTime(INT64_MAX), start + seconds(int64_t{1} << 29));

  const RatePacer unlimited(0, start);
  EXPECT_FALSE(unlimited.Limited());
  EXPECT_EQ(unlimited.DueTime(int64_t{1} << 40), start);
}

TEST(RatePacerTest, PiecesAreATwentiethOfASecondWithinBounds) {
  const RatePacer::Clock::time_point start{};
  const std::pair<int64_t, size_t> cases[] = {
      {1, 1}, {100, 5}, {256 * 1024, 13107}, {100 * 1024 * 1024, 64 * 1024}, {0, 256 * 1024}};
  for (const auto& [rate, piece] : cases) {
    EXPECT_EQ(RatePacer(rate, start).PieceBytes(), piece) << rate;
  }
}

struct JudgeCase {
  const char* header;
  int64_t size;
  ByteRange::Kind kind;
  int64_t first;
  int64_t last;
};

TEST(ByteRangeTest, JudgesRangesAgainstTheFileSize) {
  using Kind = ByteRange::Kind;
  const JudgeCase cases[] = {
      {"", 10, Kind::kWhole, 0, -1},
      {"bytes=0-0", 10, Kind::kPart, 0, 0},
      {"bytes=9-9", 10, Kind::kPart, 9, 9},
      {"bytes=9-", 10, Kind::kPart, 9, 9},
      {"bytes=3-1000000", 10, Kind::kPart, 3, 9},
      {"bytes=-1", 10, Kind::kPart, 9, 9},
      {"bytes=-10", 10, Kind::kPart, 0, 9},
      {"bytes=10-", 10, Kind::kUnsatisfiable, 0, -1},
      {"bytes=-0", 10, Kind::kUnsatisfiable, 0, -1},
      {"bytes=-5", 0, Kind::kUnsatisfiable, 0, -1},
      {"bytes=0-", 0, Kind::kUnsatisfiable, 0, -1},
      {"bytes=5-4", 10, Kind::kWhole, 0, -1},
      {"bytes=-", 10, Kind::kWhole, 0, -1},
      {"bytes=1-2-3", 10, Kind::kWhole, 0, -1},
      {"bytes=+1-2", 10, Kind::kWhole, 0, -1},
      {"bytes 1-2", 10, Kind::kWhole, 0, -1},
      {"bytes=1-2,4-5", 10, Kind::kWhole, 0, -1},
      {"bytes=1234567890123456789-", 10, Kind::kWhole, 0, -1},
      {"bytes=4294967296-4294967299", int64_t{1} << 33, Kind::kPart, int64_t{1} << 32,
       (int64_t{1} << 32) + 3},
  };
  for (const JudgeCase& row : cases) {
    SCOPED_TRACE(row.header);
    const ByteRange range = localserver::JudgeRange(row.header, row.size);
    EXPECT_EQ(range.kind, row.kind);
    if (row.kind == Kind::kPart) {
      EXPECT_EQ(range.first, row.first);
      EXPECT_EQ(range.last, row.last);
    }
  }
  EXPECT_EQ(localserver::RangeFirstByte("bytes=4194304-8388607"), 4194304);
  EXPECT_EQ(localserver::RangeFirstByte("bytes=-100"), -1);
  EXPECT_EQ(localserver::RangeFirstByte("junk"), -1);
}

// Streamed replies of the underlying server, which the download server's
// files rely on: framing when a source ends early, throws or announces no
// length.
TEST(StreamedReplyTest, TheConnectionClosesWhenTheBodyMissesItsLength) {
  InitialiseCurlOnce();
  localserver::LocalHttpServer server;
  ASSERT_TRUE(server.Start());
  // Copies of a reply share its source's state, so each reply gets its own.
  auto streamed = [](std::vector<std::string> parts, int64_t length, bool throwAtEnd) {
    auto next = std::make_shared<size_t>(0);
    localserver::Reply reply;
    reply.bodyLength = length;
    reply.bodySource = [parts, next, throwAtEnd](std::string* piece) -> bool {
      if (*next == parts.size()) {
        if (throwAtEnd) throw std::runtime_error("source failed");
        return false;
      }
      *piece = parts[(*next)++];
      return true;
    };
    return reply;
  };
  server.QueueReplies({streamed({"abc", "", "def"}, 6, false), streamed({"abcdef"}, 6, false),
                       streamed({"abc"}, 6, false), streamed({"abc"}, 6, true),
                       streamed({"abc", "def"}, -1, false)});

  CurlHandle handle(curl_easy_init(), curl_easy_cleanup);
  const Fetched first = Fetch(handle.get(), server.BaseUrl() + "/", FetchOptions());
  const Fetched second = Fetch(handle.get(), server.BaseUrl() + "/", FetchOptions());
  EXPECT_EQ(first.body, "abcdef");
  EXPECT_EQ(second.body, "abcdef");
  const Fetched cut = Fetch(handle.get(), server.BaseUrl() + "/", FetchOptions());
  EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(cut.body, "abc");
  const Fetched thrown = Fetch(handle.get(), server.BaseUrl() + "/", FetchOptions());
  EXPECT_EQ(thrown.code, CURLE_PARTIAL_FILE);
  const Fetched closeDelimited = Fetch(handle.get(), server.BaseUrl() + "/", FetchOptions());
  EXPECT_EQ(closeDelimited.code, CURLE_OK);
  EXPECT_EQ(closeDelimited.body, "abcdef");
  EXPECT_EQ(closeDelimited.Header("Content-Length"), "");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 5u);
  EXPECT_EQ(requests[0].connection, requests[2].connection);
  EXPECT_NE(requests[2].connection, requests[3].connection);
  EXPECT_NE(requests[3].connection, requests[4].connection);
}

}  // namespace
