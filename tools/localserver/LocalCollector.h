// LocalCollector: the analytics services on one local TLS server, for tests
// and the demo. It plays the GA4 collection endpoint ("/g/collect", answered
// 204) and the analytics collector ("/collect" and its test path
// "/collector", answered 200), records every request exactly as received, and
// can be told to refuse, delay or drop through the server's scripted replies.
//
// Start() makes a throw-away CA in the given folder and writes the services
// file ("services.conf") that points the program's ga4, collector and
// test_collector addresses and its CA file at this server; set the
// environment variable VORNIK_SERVICES to ServicesFile() in the program's
// environment. The folder is made absolute at construction, so the file's
// "ca_file" line holds an absolute path. Any thread.
#pragma once
#include <string>
#include <vector>

#include "LocalHttpServer.h"
#include "TestCertificates.h"

namespace localserver {

class LocalCollector {
 public:
  explicit LocalCollector(const std::string& folder);
  ~LocalCollector();

  bool Start();
  void Stop();

  LocalHttpServer& Server() { return server_; }
  const std::string& ServicesFile() const { return servicesFile_; }
  const std::string& CaFile() const { return certificates_.caCertificatePem; }

  // Requests received on one path ("/g/collect", "/collect", "/collector").
  std::vector<Request> RequestsTo(const std::string& path) const;

  // The services' answers, installed as the server's handler: GET or POST
  // to "/g/collect" 204; to "/collect" or "/collector" 200 with a small JSON
  // body; anything else 404. A handler of one's own can fall back on it.
  static Reply DefaultReply(const Request& request);

 private:
  std::string folder_;
  std::string servicesFile_;
  TestCertificates certificates_;
  LocalHttpServer server_;
};

}  // namespace localserver
