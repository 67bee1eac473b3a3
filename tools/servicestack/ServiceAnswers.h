// What the stack's own services answer, one function per service, each
// taking a request as the local server recorded it:
//
//   Update     "/queryDownloaderV2": the configuration reply; and, as the
//              update server's test host also takes them, exception reports
//   Alert      "/api/exception/send": POST, recorded, 200
//   LogUpload  "/v1/productLogUpload": a multipart POST with a "file" part,
//              recorded, 200; 400 for a body that is no such form
//   Banner     "/api/v1/banners": GET, an empty banner list
//   Collector  the analytics collectors of LocalCollector
//
// Other paths get 404, other methods 405. Reports are kept by the
// ReportRecorder before the answer goes out, so a client that has its answer
// finds the files. Any thread; SetConfiguration before the servers start.
#pragma once
#include <mutex>
#include <string>

#include "ConfigurationReply.h"
#include "LocalHttpServer.h"
#include "ReportRecorder.h"

namespace demoservices {

// A reply, and a note for the request's log line.
struct Answer {
  localserver::Reply reply;
  std::string note;
};

class ServiceAnswers {
 public:
  explicit ServiceAnswers(ReportRecorder& recorder);

  // status other than 200 answers the configuration request with that status
  // and a body without a configuration.
  void SetConfiguration(ConfigurationFields fields, int status);

  Answer Update(const localserver::Request& request) const;
  Answer Alert(const localserver::Request& request) const;
  Answer LogUpload(const localserver::Request& request) const;
  static Answer Banner(const localserver::Request& request);
  static Answer Collector(const localserver::Request& request);

 private:
  ReportRecorder& recorder_;
  mutable std::mutex mutex_;
  ConfigurationFields fields_;
  int status_ = 200;
};

}  // namespace demoservices
