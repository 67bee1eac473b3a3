// What the running stack serves and records, asked over HTTPS with its CA as
// the downloader asks.
#include <algorithm>
#include <filesystem>
#include <functional>

#include "HttpsClient.h"
#include "StackFixture.h"

namespace demoservices_test {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;

constexpr char kQuery[] = "/queryDownloaderV2?LanguageId=1033&SoftWareID=127&SiteID=61";

class StackServesTest : public StackTest {
 protected:
  void SetUp() override {
    StackTest::SetUp();
    const ScriptRun run = Start(WritePatternInstaller());
    ASSERT_EQ(run.exitCode, 0) << run.output;
  }

  std::string Configuration() {
    const HttpResult reply = HttpsGet(Service("update") + kQuery, CaFile());
    EXPECT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(reply.status, 200);
    return reply.body;
  }

  std::vector<std::string> FilesIn(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder() + "/" + folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(StackServesTest, EveryUpdateHostNamesTheServedInstallerWithItsDigestAndSize) {
  for (const char* key : {"update", "update_cn", "update_test"}) {
    SCOPED_TRACE(key);
    const HttpResult reply = HttpsGet(Service(key) + kQuery, CaFile());
    ASSERT_EQ(reply.code, CURLE_OK);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(ElementText(reply.body, "Md5"), kPatternMd5);
    EXPECT_EQ(ElementText(reply.body, "Filesize"), "100000");
    EXPECT_EQ(ElementText(reply.body, "Software_name"), "Vornik Lumaclear");
    EXPECT_EQ(ElementText(reply.body, "Process_name"), "LumaclearApp.exe");
  }
  const HttpResult installer = HttpsGet(ElementText(Configuration(), "Download_url"), CaFile());
  ASSERT_EQ(installer.code, CURLE_OK);
  EXPECT_EQ(installer.status, 200);
  EXPECT_TRUE(installer.body == Pattern()) << installer.body.size() << " bytes";
}

TEST_F(StackServesTest, DownloadHostAnswersByteRangesOverTls) {
  struct Case {
    const char* range;
    long status;
    size_t first;
    size_t count;
  };
  const Case cases[] = {
      {"bytes=0-0", 206, 0, 1},
      {"bytes=1000-1999", 206, 1000, 1000},
      {"bytes=99990-", 206, 99990, 10},
      {"bytes=-5", 206, 99995, 5},
      {"bytes=99999-200000", 206, 99999, 1},
      {"bytes=100000-", 416, 0, 0},
  };
  const std::string url = ElementText(Configuration(), "Download_url");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    const HttpResult part = HttpsGet(url, CaFile(), {std::string("Range: ") + c.range});
    ASSERT_EQ(part.code, CURLE_OK);
    EXPECT_EQ(part.status, c.status);
    if (c.status == 206) {
      EXPECT_TRUE(part.body == Pattern().substr(c.first, c.count));
    }
  }
  EXPECT_TRUE(
      LogShows("download GET /release/lumaclear_setup.exe 0 bytes -> 206  range "
               "bytes=1000-1999, 1000 bytes sent"));
}

TEST_F(StackServesTest, UploadedArchiveIsKeptWithItsFields) {
  std::string archive = "PK\x03\x04";
  archive += std::string("\0\r\n--\xff", 6) + "archive body";
  const HttpResult answer =
      HttpsPostForm(Service("log_upload") + "/v1/productLogUpload", CaFile(),
                    {{"file", archive, "lumaclear_setup_20240102030405006.zip"},
                     {"product_id", "RIZovidizi2900", ""},
                     {"version", "1.0.0.3", ""},
                     {"catalogue", "close01", ""}});
  ASSERT_EQ(answer.code, CURLE_OK);
  EXPECT_EQ(answer.status, 200);
  const std::string saved = Folder() + "/uploads/0001-lumaclear_setup_20240102030405006.zip";
  EXPECT_TRUE(ReadFile(saved) == archive);
  EXPECT_EQ(ReadFile(saved + ".fields"),
            "file=lumaclear_setup_20240102030405006.zip\nproduct_id=RIZovidizi2900\n"
            "version=1.0.0.3\ncatalogue=close01\n");
  EXPECT_NE(Log().find("log_upload POST /v1/productLogUpload"), std::string::npos);
}

TEST_F(StackServesTest, UploadNameCannotLeaveTheUploadsFolder) {
  const HttpResult answer =
      HttpsPostForm(Service("log_upload") + "/v1/productLogUpload", CaFile(),
                    {{"file", "x", "../../services.conf"}, {"product_id", "p", ""}});
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(FilesIn("uploads"),
            (std::vector<std::string>{"0001-services.conf", "0001-services.conf.fields"}));
  EXPECT_NE(ReadFile(Folder() + "/services.conf").find("ca_file="), std::string::npos);
}

TEST_F(StackServesTest, UploadThatIsNoFormIsRefusedAndNotKept) {
  struct Case {
    const char* what;
    std::function<HttpResult(const std::string&, const std::string&)> send;
    long status;
  };
  const Case cases[] = {
      {"plain body", [](auto& url, auto& ca) { return HttpsPost(url, ca, "file=abc"); }, 400},
      {"form without a file part",
       [](auto& url, auto& ca) {
         return HttpsPostForm(url, ca, {{"file", "no file name", ""}, {"version", "1", ""}});
       },
       400},
      {"GET", [](auto& url, auto& ca) { return HttpsGet(url, ca); }, 405},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const HttpResult answer = c.send(Service("log_upload") + "/v1/productLogUpload", CaFile());
    ASSERT_EQ(answer.code, CURLE_OK);
    EXPECT_EQ(answer.status, c.status);
  }
  EXPECT_TRUE(FilesIn("uploads").empty());
  EXPECT_NE(Log().find("rejected: not a multipart form"), std::string::npos);
}

TEST_F(StackServesTest, ExceptionReportsAreRecordedOnTheAlertAndTheTestUpdateHost) {
  const std::string body =
      "pid=127&type=2&exception_code=MD5_Check_Fail_Cfg1&other=https://127.0.0.1:1/"
      "queryDownloaderV2?LanguageId=1033&SoftWareID=127&SiteID=61,https://127.0.0.1:2/a.exe";
  for (const char* key : {"alert", "update_test"}) {
    SCOPED_TRACE(key);
    const HttpResult answer = HttpsPost(Service(key) + "/api/exception/send", CaFile(), body);
    ASSERT_EQ(answer.code, CURLE_OK);
    EXPECT_EQ(answer.status, 200);
  }
  EXPECT_EQ(FilesIn("exceptions"), (std::vector<std::string>{"0001.txt", "0002.txt"}));
  EXPECT_EQ(ReadFile(Folder() + "/exceptions/0001.txt"), body);
  EXPECT_NE(Log().find("alert POST /api/exception/send " + std::to_string(body.size()) +
                       " bytes -> 200  exception_code=MD5_Check_Fail_Cfg1 saved "
                       "exceptions/0001.txt"),
            std::string::npos);
}

TEST_F(StackServesTest, EachServiceAnswersOnlyItsOwnPaths) {
  struct Case {
    const char* key;
    const char* path;
    long status;
  };
  const Case cases[] = {
      {"ga4", "/g/collect?v=2&cid=1", 204},
      {"collector", "/collect", 200},
      {"banner", "/api/v1/banners?lang_code=en&parent_pid=2739&timestamp=1&type=1&verify=x", 200},
      {"alert", "/queryDownloaderV2", 404},
      {"log_upload", "/api/exception/send", 404},
      {"update", "/v1/productLogUpload", 404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + c.path);
    const HttpResult answer = HttpsGet(Service(c.key) + c.path, CaFile());
    ASSERT_EQ(answer.code, CURLE_OK);
    EXPECT_EQ(answer.status, c.status);
  }
  EXPECT_EQ(HttpsGet(Service("banner") + "/api/v1/banners", CaFile()).body, "[]");
}

}  // namespace
}  // namespace demoservices_test
