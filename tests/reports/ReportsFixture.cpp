#include "ReportsFixture.h"

#include <filesystem>

#include "DeploymentValues.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"

namespace reportstest {

void ReportsTest::SetUp() {
  std::filesystem::create_directories(env_.Root() + "/program");
  platform::SetModuleFilePathForTesting(
      platform::FromUtf8(env_.Root() + "/program/vornik-lumaclear-setup"));
  ASSERT_TRUE(localserver::MakeTestCertificates(env_.Root() + "/tls", &certificates_));
  for (auto* server : {&alert_, &update_, &updateTest_, &logUpload_}) {
    *server = std::make_unique<localserver::LocalHttpServer>(certificates_.server);
    ASSERT_TRUE((*server)->Start());
  }
  const std::string services = env_.Root() + "/reports-services.conf";
  testing_support::WriteFile(
      services, "alert=" + alert_->BaseUrl() + "\nupdate=" + update_->BaseUrl() + "\nupdate_test=" +
                    updateTest_->BaseUrl() + "\nlog_upload=" + logUpload_->BaseUrl() +
                    "\nca_file=" + certificates_.caCertificatePem + "\n");
  env_.SetEnv("VORNIK_SERVICES", services);
  deployment::ReloadForTesting();
}

void ReportsTest::TearDown() {
  for (localserver::LocalHttpServer* server : Servers()) server->Stop();
  platform::SetModuleFilePathForTesting(L"");
  deployment::ReloadForTesting();
}

void ReportsTest::WriteSwitchFile(const std::string& text) {
  testing_support::WriteFile(env_.Root() + "/program/mv_downloader.cfg", text);
}

std::vector<localserver::LocalHttpServer*> ReportsTest::Servers() {
  std::vector<localserver::LocalHttpServer*> servers;
  for (auto* server : {&alert_, &update_, &updateTest_, &logUpload_}) {
    if (*server) servers.push_back(server->get());
  }
  return servers;
}

namespace {

// The value of a parameter ("name", "filename") of a Content-Disposition line.
bool Parameter(const std::string& line, const std::string& name, std::string* value) {
  const std::string key = "; " + name + "=\"";
  const size_t at = line.find(key);
  if (at == std::string::npos) return false;
  const size_t from = at + key.size();
  const size_t to = line.find('"', from);
  if (to == std::string::npos) return false;
  *value = line.substr(from, to - from);
  return true;
}

bool ParsePart(const std::string& text, FormPart* part) {
  const size_t headEnd = text.find("\r\n\r\n");
  if (headEnd == std::string::npos) return false;
  part->body = text.substr(headEnd + 4);
  size_t at = 0;
  while (at < headEnd) {
    size_t lineEnd = text.find("\r\n", at);
    if (lineEnd == std::string::npos || lineEnd > headEnd) lineEnd = headEnd;
    const std::string line = text.substr(at, lineEnd - at);
    if (line.rfind("Content-Disposition: form-data", 0) == 0) {
      if (!Parameter(line, "name", &part->name)) return false;
      part->hasFileName = Parameter(line, "filename", &part->fileName);
    }
    at = lineEnd + 2;
  }
  return true;
}

}  // namespace

bool ParseForm(const std::string& contentType, const std::string& body,
               std::vector<FormPart>* parts) {
  const std::string marker = "boundary=";
  const size_t at = contentType.find(marker);
  if (contentType.rfind("multipart/form-data;", 0) != 0 || at == std::string::npos) return false;
  const std::string delimiter = "--" + contentType.substr(at + marker.size());
  if (body.rfind(delimiter + "\r\n", 0) != 0) return false;
  size_t from = delimiter.size() + 2;
  for (;;) {
    const size_t next = body.find("\r\n" + delimiter, from);
    if (next == std::string::npos) return false;
    FormPart part;
    if (!ParsePart(body.substr(from, next - from), &part)) return false;
    parts->push_back(part);
    const size_t after = next + 2 + delimiter.size();
    if (body.compare(after, 4, "--\r\n") == 0) return after + 4 == body.size();
    if (body.compare(after, 2, "\r\n") != 0) return false;
    from = after + 2;
  }
}

}  // namespace reportstest
