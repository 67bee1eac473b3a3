// Parsing of request heads and of the framing of request bodies. Internal to
// the localserver library; pure functions, any thread.
//
// Functions that judge a request return 0 when it is acceptable, else the
// status to answer it with (400, 413, 505).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "LocalHttpServer.h"

namespace localserver {

// Limits that keep a hostile or broken client from exhausting memory.
constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr size_t kMaxBodyBytes = 64 * 1024 * 1024;

// Request line "METHOD SP target SP HTTP/x.y"; fills method, target, version.
int ParseRequestLine(const std::string& line, Request* request);
// One "Name: value" line, appended to headers with the value trimmed.
int ParseHeaderLine(const std::string& line, Headers* headers);
// head: the request line and header lines, without the blank line.
int ParseHead(const std::string& head, Request* request);

// Whether received bytes (not yet a whole line) can no longer become a
// request line, so that binary junk is refused at once instead of waiting for
// a line end that never comes.
bool CannotStartRequestLine(const std::string& received);

// How the body of a request ends.
struct BodyFraming {
  bool chunked = false;
  uint64_t length = 0;
  bool HasBody() const { return chunked || length > 0; }
};

// From Transfer-Encoding and Content-Length; refuses conflicting lengths, a
// final coding other than chunked and bodies over kMaxBodyBytes.
int DecideFraming(const Request& request, BodyFraming* framing);

}  // namespace localserver
