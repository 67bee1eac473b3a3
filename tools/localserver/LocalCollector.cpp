#include "LocalCollector.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace localserver {
namespace {

namespace fs = std::filesystem;

std::string AbsoluteFolder(const std::string& folder) {
  std::error_code error;
  const fs::path absolute = fs::absolute(folder, error);
  return error ? folder : absolute.lexically_normal().string();
}

TlsFiles ServerFiles(const std::string& folder) {
  return TlsFiles{folder + "/server.pem", folder + "/server.key"};
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp-" + std::to_string(getpid());
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  std::error_code error;
  if (out) fs::rename(temporary, path, error);
  if (!out || error) fs::remove(temporary, error);
  return out && !error;
}

}  // namespace

LocalCollector::LocalCollector(const std::string& folder)
    : folder_(AbsoluteFolder(folder)),
      servicesFile_(folder_ + "/services.conf"),
      server_(ServerFiles(folder_)) {
  server_.SetHandler(&LocalCollector::DefaultReply);
}

LocalCollector::~LocalCollector() { Stop(); }

bool LocalCollector::Start() {
  if (!MakeTestCertificates(folder_, &certificates_) || !server_.Start()) return false;
  const std::string base = server_.BaseUrl();
  const std::string services =
      "# Local analytics services; point VORNIK_SERVICES at this file.\n"
      "ga4=" +
      base + "\n" + "collector=" + base + "\n" + "test_collector=" + base + "\n" +
      "ca_file=" + certificates_.caCertificatePem + "\n";
  if (!WriteFileAtomically(servicesFile_, services)) {
    server_.Stop();
    return false;
  }
  return true;
}

void LocalCollector::Stop() { server_.Stop(); }

std::vector<Request> LocalCollector::RequestsTo(const std::string& path) const {
  std::vector<Request> matching;
  for (const Request& request : server_.Requests()) {
    if (request.Path() == path) matching.push_back(request);
  }
  return matching;
}

Reply LocalCollector::DefaultReply(const Request& request) {
  if (request.method != "GET" && request.method != "POST") return Reply::Status(404, "not found");
  const std::string path = request.Path();
  if (path == "/g/collect") return Reply::Status(204);
  if (path != "/collect" && path != "/collector") return Reply::Status(404, "not found");
  Reply reply = Reply::Status(200, "{\"code\":0,\"msg\":\"ok\"}");
  reply.headers.emplace_back("Content-Type", "application/json");
  return reply;
}

}  // namespace localserver
