// The services of the exception reports and the log upload, played by local
// HTTPS servers with a throw-away CA: the product-alert server, the update
// server's international and test hosts, and the log-upload service. The
// program folder is the test's own, so a test can lay the switch file
// "mv_downloader.cfg" beside the program.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LocalHttpServer.h"
#include "TestCertificates.h"
#include "support/TestEnvironment.h"

namespace reportstest {

class ReportsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void WriteSwitchFile(const std::string& text);
  std::vector<localserver::LocalHttpServer*> Servers();

  testing_support::TestEnvironment env_;
  localserver::TestCertificates certificates_;
  std::unique_ptr<localserver::LocalHttpServer> alert_;
  std::unique_ptr<localserver::LocalHttpServer> update_;
  std::unique_ptr<localserver::LocalHttpServer> updateTest_;
  std::unique_ptr<localserver::LocalHttpServer> logUpload_;
};

// One part of a multipart form as received.
struct FormPart {
  std::string name;
  std::string fileName;  // "" without a filename parameter
  bool hasFileName = false;
  std::string body;
};

// Splits a multipart/form-data body by the boundary of its Content-Type.
// False when the body does not follow the format.
bool ParseForm(const std::string& contentType, const std::string& body,
               std::vector<FormPart>* parts);

}  // namespace reportstest
