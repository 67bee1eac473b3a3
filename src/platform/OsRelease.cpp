#include "platform/OsRelease.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Encoding.h"

namespace platform {
namespace {

constexpr std::size_t kMaxBytes = 64 * 1024;

bool ReadHead(const std::string& path, std::string* content) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  content->assign(kMaxBytes, '\0');
  file.read(&(*content)[0], static_cast<std::streamsize>(kMaxBytes));
  content->resize(static_cast<std::size_t>(file.gcount()));
  return !file.bad();
}

bool ReadOsReleaseFile(std::string* content) {
  const char* forced = std::getenv("VORNIK_OS_RELEASE");
  if (forced != nullptr && *forced != '\0') return ReadHead(forced, content);
  return ReadHead("/etc/os-release", content) || ReadHead("/usr/lib/os-release", content);
}

bool UnquoteDouble(const std::string& text, std::string* value) {
  value->clear();
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') return i + 1 == text.size();
    if (c == '\\' && i + 1 < text.size() &&
        std::string("\"\\$`").find(text[i + 1]) != std::string::npos)
      ++i;
    value->push_back(text[i]);
  }
  return false;  // no closing quote
}

bool ParseValue(const std::string& text, std::string* value) {
  if (!text.empty() && text[0] == '"') return UnquoteDouble(text, value);
  if (!text.empty() && text[0] == '\'') {
    if (text.size() < 2 || text.back() != '\'') return false;
    *value = text.substr(1, text.size() - 2);
    return value->find('\'') == std::string::npos;
  }
  if (text.find_first_of(" \t\"'\\`$") != std::string::npos) return false;
  *value = text;
  return true;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

void ParseLine(const std::string& rawLine, OsRelease* release) {
  const std::string line = Trim(rawLine);
  const std::size_t equals = line.find('=');
  if (line.empty() || line[0] == '#' || equals == std::string::npos) return;
  const std::string key = line.substr(0, equals);
  std::string value;
  if (!ParseValue(line.substr(equals + 1), &value)) return;
  value = ToUtf8(FromUtf8(value));
  if (key == "PRETTY_NAME") release->prettyName = value;
  if (key == "NAME") release->name = value;
  if (key == "VERSION_ID") release->versionId = value;
}

}  // namespace

bool ReadOsRelease(OsRelease* release) {
  std::string content;
  if (release == nullptr || !ReadOsReleaseFile(&content)) return false;
  *release = OsRelease();
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    ParseLine(content.substr(start, end - start), release);
    start = end + 1;
  }
  return true;
}

std::string GetKernelRelease() {
  const char* forced = std::getenv("VORNIK_UNAME_RELEASE");
  if (forced != nullptr) return forced;
  utsname name{};
  return uname(&name) == 0 ? std::string(name.release) : std::string();
}

}  // namespace platform
