// Case-insensitive header text helpers shared by the request parser and the
// reply writer. Internal to the localserver library; pure functions, any
// thread.
#pragma once
#include <string>

#include "LocalHttpServer.h"

namespace localserver {

// ASCII-only comparison, as header names and tokens are ASCII.
bool EqualsNoCase(const std::string& a, const std::string& b);
// text without blanks and tabs at either end.
std::string TrimBlanks(const std::string& text);
// Whether a comma-separated header value lists token (any case).
bool ListsToken(const std::string& value, const std::string& token);
// The value of the first header of that name (any case); "" if none.
std::string FirstHeader(const Headers& headers, const std::string& name);
bool HasHeader(const Headers& headers, const std::string& name);

}  // namespace localserver
