// Broken and hostile requests: each gets its defined answer, its connection
// is closed, nothing is recorded, and the server serves the next client.
#include <gtest/gtest.h>

#include <string>

#include "LocalHttpServer.h"
#include "TestClients.h"

using localserver::LocalHttpServer;
using localserver_test::RawConnection;

namespace {

struct GarbageCase {
  const char* name;
  std::string sent;
  const char* statusLine;
};

std::string Repeated(char c, size_t count) { return std::string(count, c); }

const GarbageCase kCases[] = {
    {"NotARequestLine", "GARBAGE\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"MissingVersion", "GET /\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"DoubleBlank", "GET  / HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"FourParts", "GET / HTTP/1.1 extra\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"OtherProtocol", "GET / FTP/1.0\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"Http2Version", "GET / HTTP/2.0\r\n\r\n", "HTTP/1.1 505 HTTP Version Not Supported"},
    {"ControlInTarget", "GET /a\x01 HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"TlsHelloOnPlainPort", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11),
     "HTTP/1.1 400 Bad Request"},
    {"BinaryNoLineEnd", std::string("\0\x01\x02\xff garbage", 12), "HTTP/1.1 400 Bad Request"},
    {"BareCarriageReturn", "GET /\rx HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"HeaderWithoutColon", "GET / HTTP/1.1\r\nNoColon\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"FoldedHeader", "GET / HTTP/1.1\r\nA: b\r\n folded\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"BlankInHeaderName", "GET / HTTP/1.1\r\nBad Name: x\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"ControlInHeaderValue",
     "GET / HTTP/1.1\r\nX: a\x7f"
     "b\r\n\r\n",
     "HTTP/1.1 400 Bad Request"},
    {"NegativeLength", "POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
    {"LengthWithJunk", "POST / HTTP/1.1\r\nContent-Length: 12abc\r\n\r\n",
     "HTTP/1.1 400 Bad Request"},
    {"ConflictingLengths", "POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello",
     "HTTP/1.1 400 Bad Request"},
    {"HugeLength", "POST / HTTP/1.1\r\nContent-Length: 99999999999999\r\n\r\n",
     "HTTP/1.1 413 Content Too Large"},
    {"UnknownCoding", "POST / HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\nxx",
     "HTTP/1.1 400 Bad Request"},
    {"BadChunkSize", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
     "HTTP/1.1 400 Bad Request"},
    {"ChunkTooLongForItsSize",
     "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhelloXX\r\n",
     "HTTP/1.1 400 Bad Request"},
    {"HugeChunk", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFF\r\n",
     "HTTP/1.1 413 Content Too Large"},
    {"EndlessChunkLine",
     "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n" + Repeated('0', 10000),
     "HTTP/1.1 400 Bad Request"},
    {"UnknownExpectation", "POST / HTTP/1.1\r\nExpect: 200-ok\r\nContent-Length: 1\r\n\r\nx",
     "HTTP/1.1 417 Expectation Failed"},
    {"HugeHeader", "GET / HTTP/1.1\r\nX: " + Repeated('a', 70000) + "\r\n\r\n",
     "HTTP/1.1 431 Request Header Fields Too Large"},
    {"EndlessRequestLine", Repeated('A', 70000), "HTTP/1.1 431 Request Header Fields Too Large"},
};

class GarbageInputTest : public ::testing::TestWithParam<GarbageCase> {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }
  LocalHttpServer server_;
};

}  // namespace

TEST_P(GarbageInputTest, AnswersClosesAndServesTheNextClient) {
  RawConnection client(server_.Port());
  ASSERT_TRUE(client.Send(GetParam().sent));
  std::string reply;
  ASSERT_TRUE(client.ReadToClose(&reply));
  EXPECT_EQ(reply.substr(0, reply.find("\r\n")), GetParam().statusLine);
  EXPECT_NE(reply.find("\r\nConnection: close\r\n"), std::string::npos);
  EXPECT_EQ(server_.RequestCount(), 0u);

  RawConnection next(server_.Port());
  ASSERT_TRUE(next.Send("GET / HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(next.ReadResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, GarbageInputTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GarbageInput, AClientThatLeavesMidRequestLeavesNoRecord) {
  LocalHttpServer server;
  ASSERT_TRUE(server.Start());
  for (const char* partial : {"GET / HT", "GET / HTTP/1.1\r\nHost: x\r\n",
                              "POST / HTTP/1.1\r\nContent-Length: 100\r\n\r\nonly some",
                              "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel"}) {
    RawConnection client(server.Port());
    ASSERT_TRUE(client.Send(partial));
    client.CloseSending();
    std::string reply;
    EXPECT_TRUE(client.ReadToClose(&reply));
    EXPECT_EQ(reply, "") << partial;
  }
  EXPECT_EQ(server.RequestCount(), 0u);
}
