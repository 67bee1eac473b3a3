// Windows command lines on a system that passes argument vectors. Pure; any thread.
#pragma once
#include <string>
#include <vector>

namespace platform {

// The command line a Windows program would see without its program name:
// arguments joined by blanks, quoted where they hold blanks or quotes or are
// empty. argv is UTF-8.
std::wstring JoinArguments(int argc, const char* const* argv, int first = 1);
// CommandLineToArgvW's splitting rules (quotes, backslashes before quotes).
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

}  // namespace platform
