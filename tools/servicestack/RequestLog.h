// The services' standard output: one line per request, whole and flushed, so
// that lines from the servers' threads never mix and a reader of the log
// file sees each line as soon as it is answered. Any thread.
#pragma once
#include <mutex>
#include <ostream>
#include <string>

#include "LocalHttpServer.h"

namespace demoservices {

class RequestLog {
 public:
  explicit RequestLog(std::ostream& out);

  void Print(const std::string& line);
  // "SERVICE METHOD TARGET N bytes -> STATUS", then two blanks and the note
  // when there is one. Bytes of the target other than printable ASCII are
  // shown as "?", so that one request stays one line.
  void Request(const std::string& service, const localserver::Request& request, int status,
               const std::string& note);

 private:
  std::mutex mutex_;
  std::ostream& out_;
};

// text with every byte outside printable ASCII turned into "?".
std::string Printable(const std::string& text);

}  // namespace demoservices
