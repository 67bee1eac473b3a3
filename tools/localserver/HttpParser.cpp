#include "HttpParser.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "HttpText.h"

namespace localserver {
namespace {

bool IsTokenChar(unsigned char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  return c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool IsToken(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return IsTokenChar(static_cast<unsigned char>(c));
  });
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool ParseDecimal(const std::string& text, uint64_t* value) {
  if (text.empty() || text.size() > 18) return false;
  *value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

}  // namespace

int ParseRequestLine(const std::string& line, Request* request) {
  const size_t first = line.find(' ');
  const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
  if (second == std::string::npos || line.find(' ', second + 1) != std::string::npos) return 400;
  request->method = line.substr(0, first);
  request->target = line.substr(first + 1, second - first - 1);
  request->version = line.substr(second + 1);
  if (!IsToken(request->method) || request->target.empty()) return 400;
  for (char c : request->target) {
    if (IsControl(static_cast<unsigned char>(c))) return 400;
  }
  const std::string& version = request->version;
  const bool wellFormed = version.size() == 8 && version.compare(0, 5, "HTTP/") == 0 &&
                          std::isdigit(static_cast<unsigned char>(version[5])) &&
                          version[6] == '.' && std::isdigit(static_cast<unsigned char>(version[7]));
  if (!wellFormed) return 400;
  return (version == "HTTP/1.1" || version == "HTTP/1.0") ? 0 : 505;
}

int ParseHeaderLine(const std::string& line, Headers* headers) {
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return 400;
  // A name must not be followed by blanks, and folded lines are obsolete.
  const std::string name = line.substr(0, colon);
  if (!IsToken(name)) return 400;
  const std::string value = TrimBlanks(line.substr(colon + 1));
  for (char c : value) {
    if (c != '\t' && IsControl(static_cast<unsigned char>(c))) return 400;
  }
  headers->emplace_back(name, value);
  return 0;
}

int ParseHead(const std::string& head, Request* request) {
  size_t lineStart = 0;
  bool requestLine = true;
  while (lineStart <= head.size()) {
    size_t lineEnd = head.find("\r\n", lineStart);
    if (lineEnd == std::string::npos) lineEnd = head.size();
    const std::string line = head.substr(lineStart, lineEnd - lineStart);
    if (line.find_first_of("\r\n") != std::string::npos) return 400;
    const int status =
        requestLine ? ParseRequestLine(line, request) : ParseHeaderLine(line, &request->headers);
    if (status != 0) return status;
    requestLine = false;
    lineStart = lineEnd + 2;
  }
  return 0;
}

bool CannotStartRequestLine(const std::string& received) {
  for (size_t i = 0; i < received.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(received[i]);
    if (c == '\r') return i + 1 < received.size() && received[i + 1] != '\n';
    if (IsControl(c)) return true;
  }
  return false;
}

int DecideFraming(const Request& request, BodyFraming* framing) {
  std::string codings;
  std::optional<uint64_t> length;
  for (const auto& header : request.headers) {
    if (EqualsNoCase(header.first, "Transfer-Encoding")) {
      codings += codings.empty() ? header.second : "," + header.second;
    } else if (EqualsNoCase(header.first, "Content-Length")) {
      uint64_t value = 0;
      if (!ParseDecimal(header.second, &value)) return 400;
      if (length && *length != value) return 400;
      length = value;
    }
  }
  if (!codings.empty()) {
    const size_t comma = codings.rfind(',');
    const std::string last =
        TrimBlanks(comma == std::string::npos ? codings : codings.substr(comma + 1));
    // Without chunked as the final coding the body's end cannot be found.
    if (!EqualsNoCase(last, "chunked")) return 400;
    framing->chunked = true;
    return 0;
  }
  framing->length = length.value_or(0);
  return framing->length > kMaxBodyBytes ? 413 : 0;
}

}  // namespace localserver
