#include <algorithm>
#include <climits>
#include <cstdint>
#include <iterator>

#include "FuntionImpl.h"
#include "Logging.h"
#include "NetFrameworkCheckScanner.h"
#include "NetFrameworkTextReader.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace FuntionImpl {
namespace {

constexpr wchar_t kNetFramework4Key[] =
    L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client";
constexpr wchar_t kVersionValue[] = L"Version";
constexpr wchar_t kCheckFileName[] = L"/NetFrameCheck.db";
// The registry value was read into a buffer of this many characters, its
// terminating zero included; a longer value fails the read.
constexpr size_t kVersionBufferLength = 260;

bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The decimal number at the start of a piece, as atoi reads it, held to the
// 32-bit range instead of overflowing.
int32_t LeadingNumber(const std::string& piece) {
  size_t at = 0;
  while (at < piece.size() && IsSpace(static_cast<unsigned char>(piece[at]))) ++at;
  bool negative = false;
  if (at < piece.size() && (piece[at] == '+' || piece[at] == '-')) negative = piece[at++] == '-';
  int64_t value = 0;
  for (; at < piece.size() && piece[at] >= '0' && piece[at] <= '9'; ++at) {
    value = value * 10 + (piece[at] - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

// Only the characters' low bytes count; a zero byte ends the text, as it
// ends a C string.
std::string LowBytes(const std::wstring& text) {
  std::string bytes;
  for (const wchar_t c : text) {
    const char low = static_cast<char>(static_cast<uint32_t>(c) & 0xFF);
    if (low == '\0') break;
    bytes += low;
  }
  return bytes;
}

}  // namespace

std::wstring GetLocalNetFrameworkVersion() {
  std::wstring version;
  if (!platform::RegQueryString(platform::HKEY_LOCAL_MACHINE, kNetFramework4Key, kVersionValue,
                                &version) ||
      version.size() + 1 > kVersionBufferLength) {
    return std::wstring();
  }
  // A zero inside the value ends the text there, as it does in the buffer.
  return version.substr(0, version.find(L'\0'));
}

std::wstring ReadNeededNetFrameworkVersion(const std::wstring& installFolder) {
  const std::wstring path = installFolder + kCheckFileName;
  if (!platform::PathExists(path)) return std::wstring();
  NetFrameworkTextReader reader(path);
  if (!reader.IsOpen()) return std::wstring();
  NetFrameworkCheckScanner scanner;
  std::wstring piece;
  while (reader.NextPiece(&piece)) {
    if (scanner.Feed(piece)) break;
  }
  return scanner.Value();
}

void ParseVersionNumbers(const std::wstring& version, int32_t (&numbers)[4]) {
  std::fill(std::begin(numbers), std::end(numbers), 0);
  const std::string text = LowBytes(version);
  size_t pieceStart = 0;
  for (size_t index = 0; index < std::size(numbers) && pieceStart <= text.size(); ++index) {
    size_t pieceEnd = text.find('.', pieceStart);
    if (pieceEnd == std::string::npos) pieceEnd = text.size();
    numbers[index] = LeadingNumber(text.substr(pieceStart, pieceEnd - pieceStart));
    pieceStart = pieceEnd + 1;
  }
}

bool WillShowNetFrameCheck(const std::wstring& installFolder) {
  const std::wstring needed = ReadNeededNetFrameworkVersion(installFolder);
  if (needed.empty()) return false;
  const std::wstring local = GetLocalNetFrameworkVersion();
  LOG(INFO) << " LocalNetFrame: " << platform::ToUtf8(local)
            << ", NeedNetFrame: " << platform::ToUtf8(needed);
  int32_t localNumbers[4];
  int32_t neededNumbers[4];
  ParseVersionNumbers(local, localNumbers);
  ParseVersionNumbers(needed, neededNumbers);
  for (size_t i = 0; i < std::size(localNumbers); ++i) {
    if (localNumbers[i] != neededNumbers[i]) return localNumbers[i] < neededNumbers[i];
  }
  return false;
}

}  // namespace FuntionImpl
