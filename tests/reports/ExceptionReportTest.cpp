// Exception reports on the wire: the exact bodies, their endpoint with and
// without TestEnv, overlong values, and what the caller gets back.
#include <functional>
#include <string>

#include "ExceptionReport.h"
#include "ReportsFixture.h"

namespace reportstest {
namespace {

using ExceptionReport::VerificationFailure;

constexpr char kConfigUrl[] =
    "https://update.example/queryDownloaderV2?LanguageId=1033&SoftWareID=127&SiteID=61";
constexpr char kDownloadUrl[] = "https://files.example/get?name=setup,1&lang=en,de";

struct BodyCase {
  const char* what;
  std::function<ExceptionReport::Reply()> send;
  std::string body;
};

void PrintTo(const BodyCase& c, std::ostream* out) { *out << c.what; }

const std::string kOther = std::string("&other=") + kConfigUrl + "," + kDownloadUrl;

class ExceptionBodyTest : public ReportsTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(ExceptionBodyTest, GoesToTheAlertServerExactlyAsFormatted) {
  alert_->SetHandler(
      [](const localserver::Request&) { return localserver::Reply::Status(200, "{\"code\":0}"); });
  const ExceptionReport::Reply reply = GetParam().send();
  EXPECT_EQ(reply.result, 0);
  EXPECT_EQ(reply.response, "{\"code\":0}");

  const auto requests = alert_->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, "/api/exception/send");
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(requests[0].body, GetParam().body);
  for (auto* other : {update_.get(), updateTest_.get(), logUpload_.get()}) {
    EXPECT_EQ(other->RequestCount(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ExceptionBodyTest,
    ::testing::Values(
        BodyCase{
            "redirects",
            [] { return ExceptionReport::SendTooManyRedirects(127, kConfigUrl, kDownloadUrl); },
            "pid=127&type=2&exception_code=Url_Too_Many_Redirects" + kOther},
        BodyCase{"md5 and signature",
                 [] {
                   return ExceptionReport::SendVerificationFailure(
                       VerificationFailure::kMd5AndSignature, 127, 1, kConfigUrl, kDownloadUrl);
                 },
                 "pid=127&type=2&exception_code=MD5_Hash_Check_Fail_Cfg1" + kOther},
        BodyCase{"md5 only",
                 [] {
                   return ExceptionReport::SendVerificationFailure(VerificationFailure::kMd5, 127,
                                                                   2, kConfigUrl, kDownloadUrl);
                 },
                 "pid=127&type=2&exception_code=MD5_Check_Fail_Cfg2" + kOther},
        BodyCase{"signature only",
                 [] {
                   return ExceptionReport::SendVerificationFailure(VerificationFailure::kSignature,
                                                                   -5, 1, kConfigUrl, kDownloadUrl);
                 },
                 "pid=-5&type=2&exception_code=Hash_Check_Fail_Cfg1" + kOther},
        BodyCase{"empty values", [] { return ExceptionReport::SendTooManyRedirects(128, "", ""); },
                 "pid=128&type=2&exception_code=Url_Too_Many_Redirects&other=,"}));

struct RouteCase {
  const char* what;
  const char* switchFile;  // nullptr: no switch file
  bool toUpdateTestHost;
};

void PrintTo(const RouteCase& c, std::ostream* out) { *out << c.what; }

class ExceptionRouteTest : public ReportsTest, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(ExceptionRouteTest, TestEnvSendsToTheUpdateServersTestHost) {
  if (GetParam().switchFile != nullptr) WriteSwitchFile(GetParam().switchFile);
  localserver::LocalHttpServer* expected =
      GetParam().toUpdateTestHost ? updateTest_.get() : alert_.get();
  EXPECT_EQ(ExceptionReport::EndpointUrl(), expected->BaseUrl() + "/api/exception/send");
  EXPECT_EQ(ExceptionReport::SendTooManyRedirects(127, kConfigUrl, kDownloadUrl).result, 0);
  for (localserver::LocalHttpServer* server : Servers()) {
    EXPECT_EQ(server->RequestCount(), server == expected ? 1u : 0u) << server->BaseUrl();
  }
  ASSERT_EQ(expected->RequestCount(), 1u);
  EXPECT_EQ(expected->Requests()[0].Path(), "/api/exception/send");
}

INSTANTIATE_TEST_SUITE_P(Switches, ExceptionRouteTest,
                         ::testing::Values(RouteCase{"no switch file", nullptr, false},
                                           RouteCase{"TestEnv 1", "[Settings]\nTestEnv=1\n", true},
                                           RouteCase{"TestEnv 2", "[Settings]\nTestEnv=2\n", false},
                                           RouteCase{"TestEnv 0", "[Settings]\nTestEnv=0\n", false},
                                           RouteCase{"other switch", "[Settings]\nAutoRun=1\n",
                                                     false}));

// A text of count two-byte characters.
std::string TwoByteText(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += "\xc3\xa9";
  return text;
}

using ExceptionReportTest = ReportsTest;

TEST_F(ExceptionReportTest, OverlongBodiesAreCutAtTheBufferOnACharacterBoundary) {
  const std::string address = "https://files.example/" + TwoByteText(3000);
  const struct {
    std::string full;
    std::string sent;
    size_t buffer;
  } cases[] = {
      {"pid=127&type=2&exception_code=Url_Too_Many_Redirects&other=" + std::string(kConfigUrl) +
           "," + address,
       ExceptionReport::TooManyRedirectsBody(127, kConfigUrl, address),
       ExceptionReport::kRedirectBodyBuffer},
      {"pid=127&type=2&exception_code=MD5_Check_Fail_Cfg1&other=" + std::string(kConfigUrl) + "," +
           address,
       ExceptionReport::VerificationBody(VerificationFailure::kMd5, 127, 1, kConfigUrl, address),
       ExceptionReport::kVerificationBodyBuffer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.buffer);
    ASSERT_LT(c.sent.size(), c.buffer);
    EXPECT_GE(c.sent.size(), c.buffer - 2);  // at most one character's first byte dropped
    EXPECT_EQ(c.full.compare(0, c.sent.size(), c.sent), 0);
    // The next byte of the full body starts a character: none was split.
    EXPECT_NE(static_cast<unsigned char>(c.full[c.sent.size()]) & 0xC0, 0x80);
  }

  ExceptionReport::SendTooManyRedirects(127, kConfigUrl, address);
  ASSERT_EQ(alert_->RequestCount(), 1u);
  EXPECT_EQ(alert_->Requests()[0].body, cases[0].sent);
}

TEST_F(ExceptionReportTest, TheCallerGetsTheTransferResultAndTheReplyText) {
  alert_->QueueReplies({localserver::Reply::Status(500, "server busy")});
  ExceptionReport::Reply reply = ExceptionReport::SendTooManyRedirects(127, "a", "b");
  EXPECT_EQ(reply.result, 0);  // the transfer worked; the status is the service's business
  EXPECT_EQ(reply.response, "server busy");

  alert_->RefuseConnections();
  reply = ExceptionReport::SendTooManyRedirects(127, "a", "b");
  EXPECT_EQ(reply.result, 7);  // CURLE_COULDNT_CONNECT
  EXPECT_EQ(reply.response, "");
}

TEST(VerificationFailureOfTest, NamesTheFailureOfEachPairOfResults) {
  const struct {
    bool md5Valid, signatureValid, report;
    VerificationFailure failure;
  } cases[] = {
      {true, true, false, VerificationFailure::kMd5},
      {false, false, true, VerificationFailure::kMd5AndSignature},
      {false, true, true, VerificationFailure::kMd5},
      {true, false, true, VerificationFailure::kSignature},
  };
  for (const auto& c : cases) {
    VerificationFailure failure = VerificationFailure::kMd5;
    EXPECT_EQ(ExceptionReport::VerificationFailureOf(c.md5Valid, c.signatureValid, &failure),
              c.report);
    if (c.report) {
      EXPECT_EQ(failure, c.failure) << c.md5Valid << c.signatureValid;
    }
  }
}

}  // namespace
}  // namespace reportstest
