// The header probe, the body GET and the form POST as the server sees them
// and as their callers get the answers; and a tool without a handle.
#include <gtest/gtest.h>

#include <string>

#include "HttpTestSupport.h"

namespace http_test {
namespace {

class RequestFormsTest : public HttpServerTest {
 protected:
  // "/hop/N" redirects N times before "/final", which answers 200.
  void ServeRedirects() {
    server_->SetHandler([](const localserver::Request& request) {
      const std::string path = request.Path();
      if (path.rfind("/hop/", 0) == 0) {
        const int left = std::stoi(path.substr(5));
        localserver::Reply reply = localserver::Reply::Status(302);
        reply.headers.push_back(
            {"Location", left > 1 ? "/hop/" + std::to_string(left - 1) : std::string("/final")});
        return reply;
      }
      localserver::Reply reply = localserver::Reply::Status(200, "final body");
      reply.headers.push_back({"X-Cache", "HIT from edge"});
      return reply;
    });
  }

  CLibcurlTool tool_;
};

TEST_F(RequestFormsTest, HeaderProbeSendsHeadAndReturnsEveryHeadOfTheChain) {
  ServeRedirects();
  std::string text;
  long status = 0;
  ASSERT_EQ(tool_.httpGet(Url("/hop/1"), &text, &status), CURLE_OK);
  EXPECT_EQ(status, 200);
  const size_t first = text.find("HTTP/1.1 302");
  const size_t location = text.find("Location: /final\r\n");
  const size_t second = text.find("HTTP/1.1 200");
  const size_t cache = text.find("X-Cache: HIT from edge\r\n");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_LT(first, location);
  EXPECT_LT(location, second);
  EXPECT_LT(second, cache);
  EXPECT_NE(cache, std::string::npos) << text;
  EXPECT_EQ(text.find("final body"), std::string::npos);

  const auto requests = server_->Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& request : requests) {
    EXPECT_EQ(request.method, "HEAD");
    EXPECT_EQ(request.Header("User-Agent"), "");
    EXPECT_EQ(request.Header("Range"), "");
  }
}

TEST_F(RequestFormsTest, HeaderProbeCutsTheTextAt2000Bytes) {
  localserver::Reply reply = localserver::Reply::Status(200);
  reply.headers.push_back({"X-Long", std::string(3000, 'a')});
  server_->QueueReplies({reply});
  std::string text;
  long status = 0;
  ASSERT_EQ(tool_.httpGet(Url("/long"), &text, &status), CURLE_OK);
  EXPECT_EQ(status, 200);
  ASSERT_EQ(text.size(), 2000u);
  const size_t value = text.find("X-Long: a");
  ASSERT_NE(value, std::string::npos);
  EXPECT_EQ(text.substr(value + 8), std::string(2000 - value - 8, 'a'));
}

TEST_F(RequestFormsTest, HeaderProbeReportsTheStatusOfAnError) {
  server_->QueueReplies({localserver::Reply::Status(404, "missing")});
  std::string text;
  long status = 0;
  EXPECT_EQ(tool_.httpGet(Url("/missing"), &text, &status), CURLE_OK);
  EXPECT_EQ(status, 404);
}

TEST_F(RequestFormsTest, RedirectsStopAfterFive) {
  ServeRedirects();
  std::string text;
  long status = 0;
  EXPECT_EQ(tool_.httpGet(Url("/hop/5"), &text, &status), CURLE_OK);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(tool_.httpGet(Url("/hop/6"), &text, &status), CURLE_TOO_MANY_REDIRECTS);
  EXPECT_TRUE(log_.Contains(" Curl Else Error: 47"));

  std::string body;
  EXPECT_EQ(tool_.httpGet(Url("/hop/5"), &body), CURLE_OK);
  EXPECT_EQ(body, "final body");
  EXPECT_EQ(tool_.httpGet(Url("/hop/6"), &body), CURLE_TOO_MANY_REDIRECTS);
}

TEST_F(RequestFormsTest, BodyGetReplacesTheCallersTextWhateverTheResult) {
  server_->QueueReplies({localserver::Reply::Status(200, "<xml>reply</xml>")});
  std::string body = "left over";
  ASSERT_EQ(tool_.httpGet(Url("/config?x=1"), &body), CURLE_OK);
  EXPECT_EQ(body, "<xml>reply</xml>");
  EXPECT_EQ(server_->Requests()[0].method, "GET");
  EXPECT_EQ(server_->Requests()[0].target, "/config?x=1");

  server_->RefuseConnections();
  body = "left over";
  EXPECT_EQ(tool_.httpGet(Url("/config"), &body), CURLE_COULDNT_CONNECT);
  EXPECT_EQ(body, "");
}

TEST_F(RequestFormsTest, AnOversizedBodyEndsTheTransferAtTheLimit) {
  server_->QueueReplies(
      {localserver::Reply::Status(200, std::string(CLibcurlTool::kReplyBodyLimit + 1, 'b'))});
  std::string body;
  EXPECT_EQ(tool_.httpGet(Url("/huge"), &body), CURLE_WRITE_ERROR);
  EXPECT_EQ(body.size(), CLibcurlTool::kReplyBodyLimit);
}

TEST_F(RequestFormsTest, PostSendsTheBodyAsADefaultFormAndAppendsTheReply) {
  server_->QueueReplies({localserver::Reply::Status(200, "{\"code\":0}")});
  std::string response = "before:";
  ASSERT_EQ(tool_.HttpPost(Url("/api/exception/send"), "a=1&b=two", &response), CURLE_OK);
  EXPECT_EQ(response, "before:{\"code\":0}");
  const auto request = server_->Requests().at(0);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.body, "a=1&b=two");
  EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(request.Header("User-Agent"), "");
}

TEST_F(RequestFormsTest, AToolWithoutAHandleAnswersInitFailedWithoutAnyRequest) {
  CLibcurlTool broken(nullptr);
  EXPECT_FALSE(broken.hasHandle());
  SharedTarget target(env_.Root() + "/file.bin");
  SliceWorker slice(&target, 0, 99, 1000);
  std::string text = "x";
  long status = 7;
  std::string body = "x";
  EXPECT_EQ(broken.httpDownloadContent(Url("/file"), 0, 99, &slice.worker), CURLE_FAILED_INIT);
  EXPECT_EQ(broken.httpGet(Url("/head"), &text, &status), CURLE_FAILED_INIT);
  EXPECT_EQ(broken.httpGet(Url("/body"), &body), CURLE_FAILED_INIT);
  EXPECT_EQ(text, "");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(body, "");
  int failures = 0;
  for (const std::string& line : log_.Lines()) failures += line == " curl easy init fail !!!";
  EXPECT_EQ(failures, 3);
  EXPECT_EQ(server_->RequestCount(), 0u);

  // The POST makes a handle of its own.
  std::string response;
  EXPECT_EQ(broken.HttpPost(Url("/post"), "a=1", &response), CURLE_OK);
  EXPECT_EQ(server_->RequestCount(), 1u);
}

}  // namespace
}  // namespace http_test
