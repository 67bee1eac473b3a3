#include "InstallerLog.h"

#include <cstdio>
#include <filesystem>

#include "platform/LocalTime.h"

InstallerLog::InstallerLog(const std::string& path) {
  if (path.empty()) return;
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  out_.open(path, std::ios::binary | std::ios::app);
}

void InstallerLog::Line(const std::string& text) {
  if (!out_.is_open()) return;
  const platform::SystemTime now = platform::GetLocalTime();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d   ", now.year, now.month,
                now.day, now.hour, now.minute, now.second, now.milliseconds);
  out_ << stamp << text << "\n";
  out_.flush();
}
