// What goes on the wire for a reply, and whether the connection stays open
// after it. Internal to the localserver library; pure functions, any thread.
#pragma once
#include <string>

#include "LocalHttpServer.h"

namespace localserver {

// The standard reason phrase of status; "Status" for one we do not know.
const char* ReasonPhrase(int status);
// 1xx, 204 and 304 replies have no body.
bool StatusForbidsBody(int status);
// Status line and headers up to and including the blank line. Adds
// Content-Length (of the body, or the streamed body's announced length)
// unless the reply frames itself or has no body, and
// "Connection: close" when closing unless the reply names a Connection.
std::string FormatHead(const Reply& reply, bool closing);
// HTTP/1.0 without keep-alive, or "Connection: close".
bool RequestWantsClose(const Request& request);

}  // namespace localserver
