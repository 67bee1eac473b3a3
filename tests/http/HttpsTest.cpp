// Every request kind verifies the server: a certificate from an unknown
// authority is refused, one from the deployment's CA file is accepted.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "DeploymentValues.h"
#include "HttpTestSupport.h"
#include "TestCertificates.h"

namespace http_test {
namespace {

class HttpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCurlOnce();
    ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/tls", &trusted_));
    ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/other", &stranger_));
    server_ = std::make_unique<localserver::LocalHttpServer>(trusted_.server);
    ASSERT_TRUE(server_->Start());
    server_->SetHandler(ServeRanges(RangeServing{1000}));
    target_ = std::make_unique<SharedTarget>(env_.Root() + "/file.bin");
  }
  void TearDown() override { deployment::ReloadForTesting(); }

  // Points every request at this CA file through the deployment values.
  void Trust(const localserver::TestCertificates& authority) {
    const std::string services = env_.Root() + "/services-tls.conf";
    std::ofstream(services) << "ca_file=" << authority.caCertificatePem << "\n";
    env_.SetEnv("VORNIK_SERVICES", services);
    deployment::ReloadForTesting();
  }

  struct Results {
    CURLcode range, head, body;
    int post;
  };
  Results RunEveryKind(SliceWorker* slice) {
    CLibcurlTool tool;
    Results results{};
    const std::string url = server_->BaseUrl() + "/file";
    results.range = tool.httpDownloadContent(url, 0, 999, &slice->worker);
    std::string text;
    long status = 0;
    results.head = tool.httpGet(url, &text, &status);
    results.body = tool.httpGet(url, &text);
    results.post = tool.HttpPost(url, "a=1", &text);
    return results;
  }

  testing_support::TestEnvironment env_;
  localserver::TestCertificates trusted_;
  localserver::TestCertificates stranger_;
  std::unique_ptr<localserver::LocalHttpServer> server_;
  std::unique_ptr<SharedTarget> target_;
  LogRecorder log_;
};

TEST_F(HttpsTest, AnUnknownAuthorityIsRefusedByEveryRequest) {
  Trust(stranger_);
  SliceWorker slice(target_.get(), 0, 999, 1000);
  const Results results = RunEveryKind(&slice);
  EXPECT_EQ(results.range, CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_EQ(results.head, CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_EQ(results.body, CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_EQ(results.post, CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_EQ(server_->RequestCount(), 0u);
  EXPECT_EQ(target_->Contents(), "");
  EXPECT_TRUE(log_.Contains(" Curl Else Error: 60"));
}

TEST_F(HttpsTest, TheDeploymentsAuthorityIsTrustedByEveryRequest) {
  Trust(trusted_);
  SliceWorker slice(target_.get(), 0, 999, 1000);
  const Results results = RunEveryKind(&slice);
  EXPECT_EQ(results.range, CURLE_OK);
  EXPECT_EQ(results.head, CURLE_OK);
  EXPECT_EQ(results.body, CURLE_OK);
  EXPECT_EQ(results.post, CURLE_OK);
  EXPECT_TRUE(slice.task.IsComplete());
  EXPECT_EQ(target_->Contents(), FileBytes(0, 1000));
}

}  // namespace
}  // namespace http_test
