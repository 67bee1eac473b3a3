// The product-log upload on the wire: the form's parts in order, the file
// name rules, the headers, and the result for each way the upload ends.
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "ReportsFixture.h"
#include "UploadProductLog.h"

namespace reportstest {
namespace {

class UploadTest : public ReportsTest {
 protected:
  void SetUp() override {
    ReportsTest::SetUp();
    archive_ = env_.Root() + "/logs/20240501120000123.zip";
    archiveBytes_ = Noise(2 << 20);  // large enough for libcurl to ask "100-continue"
    testing_support::WriteFile(archive_, archiveBytes_);
  }

  static std::string Noise(size_t size) {
    std::mt19937 generator(11);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
  }

  // The one request the log-upload service received, split into its parts.
  std::vector<FormPart> ReceivedParts() {
    EXPECT_EQ(logUpload_->RequestCount(), 1u);
    std::vector<FormPart> parts;
    if (logUpload_->RequestCount() != 1) return parts;
    const localserver::Request request = logUpload_->Requests()[0];
    EXPECT_TRUE(ParseForm(request.Header("Content-Type"), request.body, &parts))
        << request.Header("Content-Type");
    return parts;
  }

  std::string archive_;
  std::string archiveBytes_;
};

TEST_F(UploadTest, SendsTheArchiveAndTheTextsAsFormPartsInOrder) {
  logUpload_->SetHandler(
      [](const localserver::Request&) { return localserver::Reply::Status(200, "{\"code\":0}"); });
  testing::internal::CaptureStdout();
  const int result = UploadProductLog(archive_, "lumaclear_20240501120000123.zip",
                                      kProductLogProductId, "1.0.0.1", "CrashDmp");
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, kUploadOk);
  // The log's own lines may come first: it writes to standard output too.
  const std::string reply = "Response from server:\n{\"code\":0}\n";
  ASSERT_GE(printed.size(), reply.size());
  EXPECT_EQ(printed.substr(printed.size() - reply.size()), reply);

  ASSERT_EQ(logUpload_->RequestCount(), 1u);
  const localserver::Request request = logUpload_->Requests()[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/v1/productLogUpload");
  EXPECT_EQ(request.Header("Accept"), "*/*");
  EXPECT_EQ(request.Header("Content-Type").rfind("multipart/form-data; boundary=", 0), 0u);
  const std::vector<FormPart> parts = ReceivedParts();
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(parts[0].name, "file");
  EXPECT_EQ(parts[0].fileName, "lumaclear_20240501120000123.zip");
  EXPECT_TRUE(parts[0].body == archiveBytes_);
  EXPECT_EQ(parts[1].name, "product_id");
  EXPECT_FALSE(parts[1].hasFileName);
  EXPECT_EQ(parts[1].body, "RIZovidizi2900");
  EXPECT_EQ(parts[2].name, "version");
  EXPECT_EQ(parts[2].body, "1.0.0.1");
  EXPECT_EQ(parts[3].name, "catalogue");
  EXPECT_EQ(parts[3].body, "CrashDmp");
  for (auto* other : {alert_.get(), update_.get(), updateTest_.get()}) {
    EXPECT_EQ(other->RequestCount(), 0u);
  }
}

TEST_F(UploadTest, AnEmptyCatalogueLeavesItsPartOut) {
  EXPECT_EQ(UploadProductLog(archive_, "x.zip", kProductLogProductId, "1.0.0.1", ""), kUploadOk);
  const std::vector<FormPart> parts = ReceivedParts();
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0].name, "file");
  EXPECT_EQ(parts[1].name, "product_id");
  EXPECT_EQ(parts[2].name, "version");
}

TEST_F(UploadTest, TheUploadNameIsSentAsUtf8) {
  const std::string name = "\xe6\x97\xa5\xe5\xbf\x97_20240501120000123.zip";
  EXPECT_EQ(UploadProductLog(archive_, name, kProductLogProductId, "1.0.0.1", "close03"),
            kUploadOk);
  const std::vector<FormPart> parts = ReceivedParts();
  ASSERT_FALSE(parts.empty());
  EXPECT_EQ(parts[0].fileName, name);
}

TEST_F(UploadTest, WithoutANameTheFileIsNamedNoNameAndTheTimeOfTheUpload) {
  EXPECT_EQ(UploadProductLog(archive_, "", kProductLogProductId, "1.0.0.1", "default"), kUploadOk);
  const std::vector<FormPart> parts = ReceivedParts();
  ASSERT_FALSE(parts.empty());
  EXPECT_TRUE(std::regex_match(parts[0].fileName, std::regex("NoName_[0-9]{17}\\.zip")))
      << parts[0].fileName;
}

TEST(NoNameUploadNameTest, TakesTheExtensionOfTheArchivesFileName) {
  platform::SystemTime time;
  time.year = 2024;
  time.month = 5;
  time.day = 1;
  time.hour = 9;
  time.minute = 8;
  time.second = 7;
  time.milliseconds = 6;
  const struct {
    const char* path;
    const char* name;
  } cases[] = {
      {"/logs/20240501.zip", "NoName_20240501090807006.zip"},
      {"/logs/archive", "NoName_20240501090807006.tmp"},
      {"/logs.d/archive", "NoName_20240501090807006.tmp"},  // "." of a folder
      {"/logs/archive.tar.gz", "NoName_20240501090807006.gz"},
      {"/logs/archive.", "NoName_20240501090807006."},
      {"archive.ZIP", "NoName_20240501090807006.ZIP"},
  };
  for (const auto& c : cases) EXPECT_EQ(NoNameUploadName(c.path, time), c.name) << c.path;
}

struct ResultCase {
  const char* what;
  std::function<void(localserver::LocalHttpServer* service)> prepare;
  const char* path;  // nullptr: the fixture's archive
  int result;
  size_t requests;  // that reach the service
};

void PrintTo(const ResultCase& c, std::ostream* out) { *out << c.what; }

class UploadResultTest : public UploadTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(UploadResultTest, EndsWithItsResult) {
  const ResultCase& c = GetParam();
  if (c.prepare) c.prepare(logUpload_.get());
  const std::string path = c.path == nullptr ? archive_ : c.path;
  testing::internal::CaptureStdout();
  const int result =
      UploadProductLog(path, "", kProductLogProductId, "1.0.0.1", "close01", UploadLimits{5, 1});
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(logUpload_->RequestCount(), c.requests);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, UploadResultTest,
    ::testing::Values(ResultCase{"status 200", nullptr, nullptr, kUploadOk, 1},
                      ResultCase{"status 500",
                                 [](localserver::LocalHttpServer* service) {
                                   service->QueueReplies({localserver::Reply::Status(500, "no")});
                                 },
                                 nullptr, kUploadTransferFailed, 1},
                      ResultCase{"status 201",
                                 [](localserver::LocalHttpServer* service) {
                                   service->QueueReplies({localserver::Reply::Status(201)});
                                 },
                                 nullptr, kUploadTransferFailed, 1},
                      ResultCase{"dropped without a reply",
                                 [](localserver::LocalHttpServer* service) {
                                   service->QueueReplies({localserver::Reply::Dropped()});
                                 },
                                 nullptr, kUploadTransferFailed, 1},
                      ResultCase{"connection refused",
                                 [](localserver::LocalHttpServer* service) {
                                   service->RefuseConnections();
                                 },
                                 nullptr, kUploadTransferFailed, 0},
                      ResultCase{"a reply that never comes",
                                 [](localserver::LocalHttpServer* service) {
                                   localserver::Reply late = localserver::Reply::Status(200);
                                   // libcurl averages the speed over its last five seconds, so
                                   // the stall is noticed some six seconds after the upload.
                                   late.delayMs = 60000;  // cut short when the server stops
                                   service->QueueReplies({late});
                                 },
                                 nullptr, kUploadTransferFailed, 1},
                      ResultCase{"missing archive", nullptr, "/nonexistent/archive.zip",
                                 kUploadTransferFailed, 0},
                      ResultCase{"path of 4 bytes", nullptr, "a.zi", kUploadPathTooShort, 0},
                      ResultCase{"empty path", nullptr, "", kUploadPathTooShort, 0}));

TEST_F(UploadTest, TheVersionTextIsTheProgramsOwnFileVersion) {
  const std::string expected =
      std::to_string(VORNIK_VERSION_MAJOR) + "." + std::to_string(VORNIK_VERSION_MINOR) + "." +
      std::to_string(VORNIK_VERSION_PATCH) + "." + std::to_string(VORNIK_VERSION_TWEAK);
  EXPECT_EQ(OwnFileVersionText(), expected);
}

}  // namespace
}  // namespace reportstest
