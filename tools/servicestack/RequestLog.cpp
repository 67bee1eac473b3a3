#include "RequestLog.h"

namespace demoservices {

std::string Printable(const std::string& text) {
  std::string printable = text;
  for (char& c : printable) {
    if (c < 0x20 || c > 0x7e) c = '?';
  }
  return printable;
}

RequestLog::RequestLog(std::ostream& out) : out_(out) {}

void RequestLog::Print(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  out_ << line << std::endl;
}

void RequestLog::Request(const std::string& service, const localserver::Request& request,
                         int status, const std::string& note) {
  std::string line = service + " " + Printable(request.method) + " " + Printable(request.target) +
                     " " + std::to_string(request.body.size()) + " bytes -> " +
                     std::to_string(status);
  if (!note.empty()) line += "  " + Printable(note);
  Print(line);
}

}  // namespace demoservices
