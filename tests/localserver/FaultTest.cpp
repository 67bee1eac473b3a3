// Faults as the program's HTTP client (libcurl) sees them, over plain TCP and
// over TLS.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "LocalHttpServer.h"
#include "TestCertificates.h"
#include "TestClients.h"
#include "support/TestEnvironment.h"

using localserver::LocalHttpServer;
using localserver::Reply;
using localserver_test::CurlClient;
using localserver_test::CurlOptions;
using localserver_test::CurlResult;
using localserver_test::FreshGet;

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

Reply Faulty(Reply::Fault fault) {
  Reply reply;
  reply.fault = fault;
  return reply;
}

Reply Truncated(const std::string& body, int64_t at) {
  Reply reply = Reply::Status(200, body);
  reply.truncateBodyAt = at;
  return reply;
}

Reply Delayed(int delayMs) {
  Reply reply = Reply::Status(200, "late");
  reply.delayMs = delayMs;
  return reply;
}

class FaultTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (Tls()) {
      ASSERT_TRUE(localserver::MakeTestCertificates(environment_.Root() + "/tls", &certificates_));
      server_ = std::make_unique<LocalHttpServer>(certificates_.server);
    } else {
      server_ = std::make_unique<LocalHttpServer>();
    }
    ASSERT_TRUE(server_->Start());
  }

  bool Tls() const { return GetParam(); }
  std::string Url(const std::string& target = "/") const { return server_->BaseUrl() + target; }
  CurlOptions Options(long timeoutMs = 10000) const {
    CurlOptions options;
    options.caFile = certificates_.caCertificatePem;
    options.timeoutMs = timeoutMs;
    return options;
  }
  CurlResult Get(long timeoutMs = 10000) const { return FreshGet(Url(), Options(timeoutMs)); }

  testing_support::TestEnvironment environment_;
  localserver::TestCertificates certificates_;
  std::unique_ptr<LocalHttpServer> server_;
};

struct FaultCase {
  const char* name;
  Reply reply;
  long clientTimeoutMs;
  CURLcode plain;
  CURLcode tls;
  const char* bodySeen;
};

class FaultCaseTest : public FaultTest {
 protected:
  static const FaultCase kCases[];
};

const FaultCase FaultCaseTest::kCases[] = {
    {"drop", Faulty(Reply::Fault::kDrop), 10000, CURLE_GOT_NOTHING, CURLE_GOT_NOTHING, ""},
    {"reset", Faulty(Reply::Fault::kReset), 10000, CURLE_RECV_ERROR, CURLE_RECV_ERROR, ""},
    {"truncated body", Truncated("0123456789abcdef", 10), 10000, CURLE_PARTIAL_FILE,
     CURLE_PARTIAL_FILE, "0123456789"},
    {"delay beyond the client's limit", Delayed(60000), 200, CURLE_OPERATION_TIMEDOUT,
     CURLE_OPERATION_TIMEDOUT, ""},
};

TEST_P(FaultCaseTest, TheClientSeesTheFaultAndTheServerGoesOn) {
  for (const FaultCase& fault : kCases) {
    SCOPED_TRACE(fault.name);
    server_->QueueReplies({fault.reply});
    const CurlResult result = Get(fault.clientTimeoutMs);
    EXPECT_EQ(result.code, Tls() ? fault.tls : fault.plain) << curl_easy_strerror(result.code);
    EXPECT_EQ(result.body, fault.bodySeen);
    const CurlResult next = Get();
    EXPECT_EQ(next.code, CURLE_OK);
    EXPECT_EQ(next.status, 200);
  }
  EXPECT_EQ(server_->RequestCount(), 2 * std::size(kCases));
}

TEST_P(FaultTest, ScriptedDropsThenAcceptance) {
  server_->QueueReplies({Reply::Dropped(), Reply::Dropped()});
  int attempts = 0;
  CurlResult result;
  do {
    result = Get();
    ++attempts;
  } while (result.code != CURLE_OK && attempts < 5);
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(result.status, 200);
}

TEST_P(FaultTest, ADelayHoldsTheReplyBack) {
  server_->QueueReplies({Delayed(300)});
  const auto start = Clock::now();
  const CurlResult result = Get();
  EXPECT_EQ(result.code, CURLE_OK);
  EXPECT_EQ(result.body, "late");
  EXPECT_GE(MillisecondsSince(start), 300);
}

TEST_P(FaultTest, RefusedConnectionsFailToConnectUntilAcceptedAgain) {
  CurlClient keptAlive;
  ASSERT_EQ(keptAlive.Get(Url(), Options()).code, CURLE_OK);
  const int port = server_->Port();

  server_->RefuseConnections();
  const auto start = Clock::now();
  EXPECT_EQ(Get().code, CURLE_COULDNT_CONNECT);
  EXPECT_LT(MillisecondsSince(start), 5000);
  // The open connection went too, so its client has to connect anew.
  EXPECT_EQ(keptAlive.Get(Url(), Options()).code, CURLE_COULDNT_CONNECT);

  server_->AcceptAgain();
  EXPECT_EQ(server_->Port(), port);
  EXPECT_EQ(Get().code, CURLE_OK);
  EXPECT_EQ(keptAlive.Get(Url(), Options()).code, CURLE_OK);
}

TEST_P(FaultTest, StopCutsShortAPendingDelay) {
  server_->QueueReplies({Delayed(120000)});
  auto waiting = std::async(std::launch::async, [this] { return Get(60000); });
  ASSERT_TRUE(server_->WaitForRequests(1, 10000));
  const auto start = Clock::now();
  server_->Stop();
  EXPECT_LT(MillisecondsSince(start), 5000);
  const CurlResult result = waiting.get();
  EXPECT_NE(result.code, CURLE_OK);
  EXPECT_EQ(result.status, 0);
}

TEST_P(FaultTest, StopClosesIdleKeptAliveConnections) {
  CurlClient keptAlive;
  ASSERT_EQ(keptAlive.Get(Url(), Options()).code, CURLE_OK);
  localserver_test::RawConnection silent(server_->Port());
  ASSERT_TRUE(silent.Connected());
  ASSERT_TRUE(silent.Send("GET / HTTP/1.1\r\nHost: x\r\n"));
  const auto start = Clock::now();
  server_->Stop();
  EXPECT_LT(MillisecondsSince(start), 5000);
  EXPECT_NE(keptAlive.Get(Url(), Options()).code, CURLE_OK);
}

INSTANTIATE_TEST_SUITE_P(Transports, FaultTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tls" : "Plain"; });
INSTANTIATE_TEST_SUITE_P(Transports, FaultCaseTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tls" : "Plain"; });

}  // namespace
