#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LocalHttpServer.h"
#include "TestClients.h"

using localserver::LocalHttpServer;
using localserver::Reply;
using localserver::Request;
using localserver_test::CurlClient;
using localserver_test::CurlOptions;
using localserver_test::RawConnection;

namespace {

class LocalHttpServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }

  std::string Url(const std::string& target) const { return server_.BaseUrl() + target; }

  LocalHttpServer server_;
};

// Bytes 0..255 repeated, so that a shifted or dropped byte shows.
std::string Pattern(size_t size) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(i * 7 % 251);
  return text;
}

}  // namespace

TEST_F(LocalHttpServerTest, RecordsARequestExactlyAsSent) {
  const std::string body("hello\0world", 11);
  const std::string sent =
      "POST /g/collect?v=2&cid=A1B2&ep.mv_label=a%20b&x=%2F&&y= HTTP/1.1\r\n"
      "Host: 127.0.0.1\r\n"
      "Connection:keep-alive\r\n"
      "X-Mixed-Case:   padded value \t\r\n"
      "Content-Length: 11\r\n"
      "\r\n" +
      body;
  RawConnection client(server_.Port());
  ASSERT_TRUE(client.Send(sent));
  const std::string response = client.ReadResponse();
  EXPECT_EQ(response, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");

  ASSERT_EQ(server_.RequestCount(), 1u);
  const Request request = server_.Requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/g/collect?v=2&cid=A1B2&ep.mv_label=a%20b&x=%2F&&y=");
  EXPECT_EQ(request.Path(), "/g/collect");
  EXPECT_EQ(request.Query(), "v=2&cid=A1B2&ep.mv_label=a%20b&x=%2F&&y=");
  EXPECT_EQ(request.version, "HTTP/1.1");
  EXPECT_EQ(request.body, body);
  EXPECT_EQ(request.raw, sent);
  const localserver::Headers expected = {{"Host", "127.0.0.1"},
                                         {"Connection", "keep-alive"},
                                         {"X-Mixed-Case", "padded value"},
                                         {"Content-Length", "11"}};
  EXPECT_EQ(request.headers, expected);
  EXPECT_EQ(request.Header("x-mixed-case"), "padded value");
  EXPECT_EQ(request.Header("Absent"), "");
  EXPECT_GT(request.connection, 0);
}

TEST_F(LocalHttpServerTest, SplitsPipelinedRequestsAtTheirExactBoundaries) {
  const std::string first = "GET /one?a=1 HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string second = "POST /two HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc";
  const std::string third = "GET /three HTTP/1.1\r\nHost: x\r\n\r\n";
  server_.SetHandler([](const Request& request) { return Reply::Status(200, request.target); });
  RawConnection client(server_.Port());
  ASSERT_TRUE(client.Send(first + second + third));
  for (const char* target : {"/one?a=1", "/two", "/three"}) {
    const std::string response = client.ReadResponse();
    EXPECT_EQ(response.substr(response.size() - std::string(target).size()), target) << response;
  }
  const std::vector<Request> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].raw, first);
  EXPECT_EQ(requests[1].raw, second);
  EXPECT_EQ(requests[1].body, "abc");
  EXPECT_EQ(requests[2].raw, third);
  EXPECT_EQ(requests[0].connection, requests[2].connection);
}

TEST_F(LocalHttpServerTest, KeepsTheConnectionAliveBetweenRequests) {
  CurlClient client;
  const auto first = client.Get(Url("/a"));
  const auto second = client.Post(Url("/b"), "{}");
  ASSERT_EQ(first.code, CURLE_OK);
  ASSERT_EQ(second.code, CURLE_OK);
  EXPECT_EQ(first.newConnections, 1);
  EXPECT_EQ(second.newConnections, 0);
  const auto third = CurlClient().Get(Url("/c"));
  ASSERT_EQ(third.code, CURLE_OK);

  const std::vector<Request> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].connection, requests[1].connection);
  EXPECT_NE(requests[1].connection, requests[2].connection);
}

// When the server closes after a reply, and when it keeps the connection.
struct ClosingCase {
  const char* name;
  const char* request;
  Reply reply;
  bool closes;
};

class ClosingDecisionTest : public LocalHttpServerTest,
                            public ::testing::WithParamInterface<ClosingCase> {};

TEST_P(ClosingDecisionTest, ClosesOnlyWhenEitherSideAsks) {
  server_.QueueReplies({GetParam().reply});
  RawConnection client(server_.Port());
  ASSERT_TRUE(client.Send(GetParam().request));
  const std::string response = client.ReadResponse();
  ASSERT_FALSE(response.empty());
  EXPECT_EQ(response.find("\r\nConnection: close\r\n") != std::string::npos, GetParam().closes)
      << response;
  if (GetParam().closes) {
    std::string rest;
    EXPECT_TRUE(client.ReadToClose(&rest));
    EXPECT_EQ(rest, "");
  } else {
    ASSERT_TRUE(client.Send("GET /next HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(client.ReadResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClosingDecisionTest,
    ::testing::Values(
        ClosingCase{"Http11", "GET / HTTP/1.1\r\n\r\n", Reply(), false},
        ClosingCase{"Http10", "GET / HTTP/1.0\r\n\r\n", Reply(), true},
        ClosingCase{"Http10KeepAlive", "GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n", Reply(),
                    false},
        ClosingCase{"ClientAsks", "GET / HTTP/1.1\r\nConnection: TE, close\r\n\r\n", Reply(), true},
        ClosingCase{"ReplyAsks", "GET / HTTP/1.1\r\n\r\n",
                    Reply{200, {{"Connection", "close"}}, "x", 0, Reply::Fault::kNone, -1}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocalHttpServerTest, AnswersExpectContinueBeforeTheBodyArrives) {
  RawConnection client(server_.Port());
  const std::string head =
      "POST /upload HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\nContent-Length: 5\r\n\r\n";
  ASSERT_TRUE(client.Send(head));
  EXPECT_EQ(client.ReadUntil("\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n");
  ASSERT_TRUE(client.Send("hello"));
  EXPECT_EQ(client.ReadResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  ASSERT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(server_.Requests()[0].raw, head + "hello");
  EXPECT_EQ(server_.Requests()[0].body, "hello");
}

TEST_F(LocalHttpServerTest, TakesALargeBodyThatLibcurlSendsAfterContinue) {
  const std::string body = Pattern(1536 * 1024);
  CurlOptions options;
  options.headers = {"Expect: 100-continue"};
  // Were "100 Continue" missing, libcurl would sit out this whole wait.
  options.expectTimeoutMs = 60000;
  options.timeoutMs = 30000;
  const auto result = CurlClient().Post(Url("/collect"), body, options);
  ASSERT_EQ(result.code, CURLE_OK);
  EXPECT_EQ(result.status, 200);
  EXPECT_LT(result.seconds, 20.0);
  ASSERT_EQ(server_.RequestCount(), 1u);
  const Request request = server_.Requests()[0];
  EXPECT_EQ(request.Header("Expect"), "100-continue");
  EXPECT_TRUE(request.body == body);
  EXPECT_EQ(request.raw.size(), request.raw.find("\r\n\r\n") + 4 + body.size());
}

TEST_F(LocalHttpServerTest, DecodesAChunkedBodyAndKeepsItsFramingInRaw) {
  const std::string sent =
      "POST /c HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
      "5;name=value\r\nhello\r\n"
      "6 \r\n world\r\n"
      "0\r\nX-Trailer: t\r\n\r\n";
  RawConnection client(server_.Port());
  // In small pieces, so that the decoder resumes at every kind of boundary.
  for (size_t at = 0; at < sent.size(); at += 3) {
    ASSERT_TRUE(client.Send(sent.substr(at, 3)));
  }
  EXPECT_EQ(client.ReadResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  ASSERT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(server_.Requests()[0].body, "hello world");
  EXPECT_EQ(server_.Requests()[0].raw, sent);
}

TEST_F(LocalHttpServerTest, TakesAChunkedUploadFromLibcurl) {
  const std::string body = Pattern(300 * 1024);
  CurlOptions options;
  options.chunkedUpload = true;
  const auto result = CurlClient().Post(Url("/chunked"), body, options);
  ASSERT_EQ(result.code, CURLE_OK);
  ASSERT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(server_.Requests()[0].Header("Transfer-Encoding"), "chunked");
  EXPECT_TRUE(server_.Requests()[0].body == body);
}

TEST_F(LocalHttpServerTest, AnswersHeadWithTheHeadOnly) {
  server_.SetHandler([](const Request&) { return Reply::Status(200, "twelve bytes"); });
  RawConnection client(server_.Port());
  ASSERT_TRUE(client.Send("HEAD /file HTTP/1.1\r\n\r\n"));
  const std::string head = client.ReadResponse(true);
  EXPECT_NE(head.find("\r\nContent-Length: 12\r\n"), std::string::npos) << head;
  // A body after the head would show up in front of the next response.
  ASSERT_TRUE(client.Send("GET /file HTTP/1.1\r\n\r\n"));
  const std::string next = client.ReadResponse();
  EXPECT_EQ(next.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << next;
  EXPECT_EQ(next.substr(next.size() - 12), "twelve bytes");
}

TEST_F(LocalHttpServerTest, ScriptedRepliesComeFirstThenTheHandler) {
  server_.SetHandler([](const Request&) { return Reply::Status(200, "accepted"); });
  server_.QueueReplies({Reply::Status(503), Reply::Status(500, "later")});
  CurlClient client;
  std::vector<long> statuses;
  for (int attempt = 0; attempt < 5; ++attempt) {
    const auto result = client.Post(Url("/collect"), "{\"n\":1}");
    ASSERT_EQ(result.code, CURLE_OK);
    statuses.push_back(result.status);
    if (result.status == 200) {
      EXPECT_EQ(result.body, "accepted");
      break;
    }
  }
  EXPECT_EQ(statuses, (std::vector<long>{503, 500, 200}));
  EXPECT_EQ(server_.RequestCount(), 3u);
  EXPECT_EQ(client.Get(Url("/again")).status, 200);
}

TEST_F(LocalHttpServerTest, ReplyOmitsContentLengthWhereNoBodyMayFollow) {
  server_.QueueReplies({Reply::Status(204, "ignored"), Reply::Status(404, "gone")});
  RawConnection client(server_.Port());
  ASSERT_TRUE(client.Send("POST /g/collect?v=2 HTTP/1.1\r\n\r\nGET /x HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(client.ReadResponse(), "HTTP/1.1 204 No Content\r\n\r\n");
  EXPECT_EQ(client.ReadResponse(), "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
}

TEST_F(LocalHttpServerTest, AHandlerThatThrowsGives500) {
  server_.SetHandler([](const Request&) -> Reply { throw std::runtime_error("broken"); });
  EXPECT_EQ(CurlClient().Get(Url("/")).status, 500);
  EXPECT_EQ(CurlClient().Get(Url("/")).status, 500);
}

TEST_F(LocalHttpServerTest, WaitForRequestsSeesRequestsFromOtherThreads) {
  EXPECT_FALSE(server_.WaitForRequests(1, 20));
  CurlClient().Get(Url("/"));
  EXPECT_TRUE(server_.WaitForRequests(1, 5000));
  server_.ClearRequests();
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST(LocalHttpServerLifecycle, StartsAgainAfterStopAndStopsTwice) {
  LocalHttpServer server;
  EXPECT_EQ(server.Port(), 0);
  ASSERT_TRUE(server.Start());
  EXPECT_FALSE(server.Start());
  EXPECT_EQ(server.BaseUrl(), "http://127.0.0.1:" + std::to_string(server.Port()));
  server.Stop();
  server.Stop();
  ASSERT_TRUE(server.Start());
  EXPECT_EQ(CurlClient().Get(server.BaseUrl() + "/").status, 200);
}

TEST(LocalHttpServerLifecycle, TlsStartFailsWithoutItsFiles) {
  LocalHttpServer server(localserver::TlsFiles{"/nonexistent/server.pem", "/nonexistent/key"});
  EXPECT_FALSE(server.Start());
}
