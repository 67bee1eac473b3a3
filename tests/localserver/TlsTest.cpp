#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "LocalHttpServer.h"
#include "TestCertificates.h"
#include "TestClients.h"
#include "support/TestEnvironment.h"

using localserver::LocalHttpServer;
using localserver::TestCertificates;
using localserver_test::CurlOptions;
using localserver_test::CurlResult;
using localserver_test::FreshGet;

namespace {

using CertificatePtr = std::unique_ptr<X509, decltype(&X509_free)>;

CertificatePtr ReadCertificate(const std::string& path) {
  std::unique_ptr<FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "r"), std::fclose);
  return CertificatePtr(file ? PEM_read_X509(file.get(), nullptr, nullptr, nullptr) : nullptr,
                        X509_free);
}

class TlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(localserver::MakeTestCertificates(environment_.Root() + "/tls", &certificates_));
    ASSERT_TRUE(localserver::MakeTestCertificates(environment_.Root() + "/other", &stranger_));
    server_ = std::make_unique<LocalHttpServer>(certificates_.server);
    ASSERT_TRUE(server_->Start());
  }

  CurlOptions Trusting(const TestCertificates& certificates) const {
    CurlOptions options;
    options.caFile = certificates.caCertificatePem;
    return options;
  }

  testing_support::TestEnvironment environment_;
  TestCertificates certificates_;
  TestCertificates stranger_;
  std::unique_ptr<LocalHttpServer> server_;
};

}  // namespace

TEST_F(TlsTest, CertificatesChainToTheCaAndNameTheLoopbackHost) {
  const CertificatePtr authority = ReadCertificate(certificates_.caCertificatePem);
  const CertificatePtr server = ReadCertificate(certificates_.server.certificateChainPem);
  ASSERT_TRUE(authority && server);
  EXPECT_EQ(X509_check_ca(authority.get()), 1);
  EXPECT_EQ(X509_check_ca(server.get()), 0);
  EXPECT_EQ(X509_check_issued(authority.get(), server.get()), X509_V_OK);
  EXPECT_EQ(X509_verify(server.get(), X509_get0_pubkey(authority.get())), 1);
  EXPECT_EQ(X509_check_ip_asc(server.get(), "127.0.0.1", 0), 1);
  EXPECT_EQ(X509_check_host(server.get(), "localhost", 0, 0, nullptr), 1);
  EXPECT_EQ(X509_check_host(server.get(), "example.com", 0, 0, nullptr), 0);
  EXPECT_EQ(X509_check_purpose(server.get(), X509_PURPOSE_SSL_SERVER, 0), 1);
  // Valid already (a clock a little behind does not matter) and for months.
  time_t inAWhile = std::time(nullptr) + 300 * 24 * 3600;
  time_t aMinuteAgo = std::time(nullptr) - 60;
  EXPECT_LT(X509_cmp_time(X509_get0_notBefore(server.get()), &aMinuteAgo), 0);
  EXPECT_GT(X509_cmp_time(X509_get0_notAfter(server.get()), &inAWhile), 0);
  // A second set is a different authority.
  const CertificatePtr other = ReadCertificate(stranger_.caCertificatePem);
  ASSERT_TRUE(other);
  EXPECT_NE(X509_verify(server.get(), X509_get0_pubkey(other.get())), 1);
}

TEST_F(TlsTest, VerificationSucceedsOnlyWithTheCaAndAMatchingName) {
  const std::string port = std::to_string(server_->Port());
  struct Case {
    const char* host;
    bool ownCa;
    CURLcode expected;
  };
  const Case cases[] = {
      {"127.0.0.1", true, CURLE_OK},
      {"localhost", true, CURLE_OK},
      {"collect.example", true, CURLE_PEER_FAILED_VERIFICATION},
      {"127.0.0.1", false, CURLE_PEER_FAILED_VERIFICATION},
      {"localhost", false, CURLE_PEER_FAILED_VERIFICATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.host) + (c.ownCa ? " with the CA" : " with another CA"));
    CurlOptions options = Trusting(c.ownCa ? certificates_ : stranger_);
    // Every name leads to 127.0.0.1; only the certificate check tells them apart.
    options.resolve = {std::string(c.host) + ":" + port + ":127.0.0.1"};
    const CurlResult result =
        FreshGet("https://" + std::string(c.host) + ":" + port + "/", options);
    EXPECT_EQ(result.code, c.expected) << curl_easy_strerror(result.code);
  }
  // Refused handshakes carried no request.
  EXPECT_EQ(server_->RequestCount(), 2u);
}

TEST_F(TlsTest, SpeaksHttp11EvenWhenTheClientOffersH2) {
  CurlOptions options = Trusting(certificates_);
  options.offerHttp2 = true;
  const CurlResult result = FreshGet(server_->BaseUrl() + "/", options);
  ASSERT_EQ(result.code, CURLE_OK);
  EXPECT_EQ(result.httpVersion, CURL_HTTP_VERSION_1_1);
}

TEST_F(TlsTest, PlainTextOnTheTlsPortEndsThatConnectionOnly) {
  const CurlResult plain = FreshGet("http://127.0.0.1:" + std::to_string(server_->Port()) + "/");
  EXPECT_NE(plain.code, CURLE_OK);
  localserver_test::RawConnection garbage(server_->Port());
  ASSERT_TRUE(garbage.Send(std::string(5000, '\x16')));
  EXPECT_TRUE(garbage.ReadToClose(nullptr));
  EXPECT_EQ(FreshGet(server_->BaseUrl() + "/", Trusting(certificates_)).code, CURLE_OK);
  EXPECT_EQ(server_->RequestCount(), 1u);
}

TEST(TestCertificates, FailsWhenTheFolderCannotBeMade) {
  testing_support::TestEnvironment environment;
  testing_support::WriteFile(environment.Root() + "/file", "not a folder");
  TestCertificates certificates;
  EXPECT_FALSE(localserver::MakeTestCertificates(environment.Root() + "/file/tls", &certificates));
  EXPECT_EQ(certificates.caCertificatePem, "");
}
