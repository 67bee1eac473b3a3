// The local services stack of the demo and the tests: every remote service the
// downloader talks to, in one process, each on its own TLS server on
// 127.0.0.1 (a free port each) with one throw-away CA, so that a request sent
// to the wrong service fails as it would against the real hosts:
//
//   collectors  keys ga4, collector, test_collector   LocalCollector's answers
//   update      keys update, update_cn, update_test   the configuration reply
//                                                     and exception reports
//   alert       key alert                             exception reports
//   log_upload  key log_upload                        the product-log upload
//   banner      key banner                            an empty banner list
//   download    the configuration's Download_url      the product installer at
//                                                     /release/lumaclear_setup.exe
//
// (ServiceAnswers.h says what each answers.) The configuration reply names
// the installer served by the download host with its size and MD5, computed
// when the stack starts, unless the options replace the digest.
//
// Start() makes the CA (ca.pem, server.pem, server.key) in the folder,
// empties uploads/ and exceptions/, starts the servers and then writes
// services.conf pointing every service key and ca_file at them; point the
// downloader's VORNIK_SERVICES at ServicesFile(). Every request is printed
// on the RequestLog. Start and Stop from one thread; the servers answer on
// theirs.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DemoOptions.h"
#include "DownloadServer.h"
#include "DownloadWatch.h"
#include "LocalHttpServer.h"
#include "ReportRecorder.h"
#include "RequestLog.h"
#include "ServiceAnswers.h"
#include "TestCertificates.h"

namespace demoservices {

// Where the download host serves the installer.
constexpr char kInstallerPath[] = "/release/lumaclear_setup.exe";

class DemoServices {
 public:
  // options.installer must name the file to serve.
  DemoServices(DemoOptions options, RequestLog& log);
  ~DemoServices();
  DemoServices(const DemoServices&) = delete;
  DemoServices& operator=(const DemoServices&) = delete;

  // False, with *error, when the installer cannot be read, the folder or the
  // certificates cannot be made, a server does not start or the services
  // file cannot be written; whatever had started is stopped again.
  bool Start(std::string* error);
  // Stops every server (cutting off answers in progress) and the watch.
  void Stop();

  // What serves where, one line each, for people and the start script:
  // "update: https://127.0.0.1:PORT (update, update_cn, update_test)",
  // "download: https://127.0.0.1:PORT/release/lumaclear_setup.exe", the
  // installer with its size and digest, the uploads folder.
  std::vector<std::string> Announcement() const;
  // The absolute path of services.conf.
  const std::string& ServicesFile() const { return servicesFile_; }

 private:
  struct Hosted {
    std::string name;
    std::vector<std::string> keys;
    std::function<Answer(const localserver::Request&)> answer;
    std::unique_ptr<localserver::LocalHttpServer> server;
  };

  bool StartDownloadHost(std::string* error);
  bool StartHosted(Hosted* hosted, std::string* error);
  bool WriteServicesFile(std::string* error) const;

  DemoOptions options_;
  RequestLog& log_;
  std::string servicesFile_;
  std::string servedMd5_;
  int64_t installerSize_ = -1;
  std::string fileMd5_;
  ReportRecorder recorder_;
  ServiceAnswers answers_;
  localserver::TestCertificates certificates_;
  std::vector<Hosted> hosted_;
  std::unique_ptr<localserver::DownloadServer> download_;
  std::unique_ptr<DownloadWatch> watch_;
};

}  // namespace demoservices
