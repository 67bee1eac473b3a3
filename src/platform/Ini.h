// INI reads with the semantics of GetPrivateProfileInt. Any thread; the file is
// read at every call, nothing is cached.
#pragma once
#include <string>

namespace platform {

// Missing file, section or key gives defaultValue, and so does an empty value
// or a file that cannot be read (a folder, no permission). A value that is not
// a number gives 0; otherwise the leading decimal number (optional sign;
// wraps at 32 bits as on Windows). Section and key names compare
// case-insensitively (ASCII); blanks around names and values are ignored, as
// are matching quotes around a value. Only the first section of a name is
// searched. Lines starting with ';' or '#' are comments. The file is UTF-8
// (a byte-order mark is skipped) with LF or CRLF line ends.
int GetPrivateProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                         const std::wstring& path);

}  // namespace platform
