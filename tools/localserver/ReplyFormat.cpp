#include "ReplyFormat.h"

#include <utility>

#include "HttpText.h"

namespace localserver {

const char* ReasonPhrase(int status) {
  static const std::pair<int, const char*> kPhrases[] = {
      {100, "Continue"},
      {101, "Switching Protocols"},
      {200, "OK"},
      {201, "Created"},
      {202, "Accepted"},
      {204, "No Content"},
      {206, "Partial Content"},
      {301, "Moved Permanently"},
      {302, "Found"},
      {303, "See Other"},
      {304, "Not Modified"},
      {307, "Temporary Redirect"},
      {308, "Permanent Redirect"},
      {400, "Bad Request"},
      {401, "Unauthorized"},
      {403, "Forbidden"},
      {404, "Not Found"},
      {405, "Method Not Allowed"},
      {408, "Request Timeout"},
      {411, "Length Required"},
      {413, "Content Too Large"},
      {414, "URI Too Long"},
      {416, "Range Not Satisfiable"},
      {417, "Expectation Failed"},
      {429, "Too Many Requests"},
      {431, "Request Header Fields Too Large"},
      {500, "Internal Server Error"},
      {501, "Not Implemented"},
      {502, "Bad Gateway"},
      {503, "Service Unavailable"},
      {504, "Gateway Timeout"},
      {505, "HTTP Version Not Supported"},
  };
  for (const auto& phrase : kPhrases) {
    if (phrase.first == status) return phrase.second;
  }
  return "Status";
}

bool StatusForbidsBody(int status) { return status < 200 || status == 204 || status == 304; }

std::string FormatHead(const Reply& reply, bool closing) {
  std::string head =
      "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonPhrase(reply.status) + "\r\n";
  for (const auto& header : reply.headers) head += header.first + ": " + header.second + "\r\n";
  const bool framed =
      HasHeader(reply.headers, "Content-Length") || HasHeader(reply.headers, "Transfer-Encoding");
  if (!framed && !StatusForbidsBody(reply.status)) {
    if (!reply.bodySource) {
      head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    } else if (reply.bodyLength >= 0) {
      head += "Content-Length: " + std::to_string(reply.bodyLength) + "\r\n";
    }
  }
  if (closing && !HasHeader(reply.headers, "Connection")) head += "Connection: close\r\n";
  return head + "\r\n";
}

bool RequestWantsClose(const Request& request) {
  const std::string connection = request.Header("Connection");
  if (ListsToken(connection, "close")) return true;
  return request.version == "HTTP/1.0" && !ListsToken(connection, "keep-alive");
}

}  // namespace localserver
