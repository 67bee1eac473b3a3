// Text conversion at the edges: wide strings inside, UTF-8 in files, logs and HTTP.
// Pure functions; any thread.
#pragma once
#include <string>

namespace platform {

// Invalid input never throws: an invalid UTF-8 byte becomes U+FFFD, an
// unpaired or out-of-range code point becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace platform
