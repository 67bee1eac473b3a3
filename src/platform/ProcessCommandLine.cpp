#include "platform/ProcessCommandLine.h"

#include "platform/Encoding.h"

namespace platform {

namespace {

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

}  // namespace

std::wstring JoinArguments(int argc, const char* const* argv, int first) {
  std::wstring line;
  for (int i = first; i < argc; ++i) {
    if (i > first) line += L' ';
    line += QuoteArgument(FromUtf8(argv[i]));
  }
  return line;
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments;
  size_t i = 0;
  const size_t n = commandLine.size();
  while (true) {
    while (i < n && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    if (i >= n) break;
    std::wstring argument;
    bool inQuotes = false;
    for (; i < n; ++i) {
      const wchar_t c = commandLine[i];
      if (!inQuotes && (c == L' ' || c == L'\t')) break;
      if (c == L'\\') {
        size_t count = 0;
        while (i < n && commandLine[i] == L'\\') ++count, ++i;
        if (i < n && commandLine[i] == L'"') {
          argument.append(count / 2, L'\\');
          if (count % 2 == 1) {
            argument += L'"';
            continue;
          }
          --i;  // the quote toggles quoting on the next round
          continue;
        }
        argument.append(count, L'\\');
        --i;
        continue;
      }
      if (c == L'"') {
        // "" inside quotes stands for one quote.
        if (inQuotes && i + 1 < n && commandLine[i + 1] == L'"') {
          argument += L'"';
          ++i;
          continue;
        }
        inQuotes = !inQuotes;
        continue;
      }
      argument += c;
    }
    arguments.push_back(argument);
  }
  return arguments;
}

}  // namespace platform
