#include "zip/ZipEntryName.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "platform/Encoding.h"

namespace {

constexpr const char* kStoredExtensions[] = {".z",   ".zip", ".zoo", ".arc",
                                             ".lzh", ".arj", ".gz",  ".tgz"};

std::string AsciiLower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string ZipEntryNameOf(const std::wstring& name) {
  std::string utf8 = platform::ToUtf8(name);
  std::replace(utf8.begin(), utf8.end(), '\\', '/');
  if (utf8.size() > kMaxZipEntryNameBytes) return std::string();
  return utf8;
}

bool IsStoredZipEntry(const std::string& entryName) {
  const size_t dot = entryName.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = AsciiLower(entryName.substr(dot));
  return std::find(std::begin(kStoredExtensions), std::end(kStoredExtensions), extension) !=
         std::end(kStoredExtensions);
}
