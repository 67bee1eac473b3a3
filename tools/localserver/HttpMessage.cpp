// The small methods of the public Request and Reply types.
#include <utility>

#include "HttpText.h"
#include "LocalHttpServer.h"

namespace localserver {

std::string Request::Header(const std::string& name) const { return FirstHeader(headers, name); }

std::string Request::Path() const { return target.substr(0, target.find('?')); }

std::string Request::Query() const {
  const size_t mark = target.find('?');
  return mark == std::string::npos ? std::string() : target.substr(mark + 1);
}

Reply Reply::Status(int status, std::string body) {
  Reply reply;
  reply.status = status;
  reply.body = std::move(body);
  return reply;
}

Reply Reply::Dropped() {
  Reply reply;
  reply.fault = Fault::kDrop;
  return reply;
}

}  // namespace localserver
