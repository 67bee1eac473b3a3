#include "platform/CrashLog.h"

#include <fcntl.h>
#include <pthread.h>

#include "platform/PublishedText.h"
#include "platform/SignalSafeIo.h"
#include "platform/SignalSafeTime.h"

namespace platform {
namespace {

// Made before main and never destroyed: a crash may come before the first
// preparation or while statics are torn down.
PublishedText* const g_logFilePath = new PublishedText;

void AppendDateTime(signalsafe::Text* line) {
  const SystemTime now = SignalSafeLocalTime();
  line->AppendPadded(now.year, 4).Append("-").AppendPadded(now.month, 2).Append("-");
  line->AppendPadded(now.day, 2).Append(" ").AppendPadded(now.hour, 2).Append(":");
  line->AppendPadded(now.minute, 2).Append(":").AppendPadded(now.second, 2).Append(",");
  line->AppendPadded(now.milliseconds, 3);
}

}  // namespace

void PrepareCrashLog(const std::string& logFilePath) {
  g_logFilePath->Set(logFilePath);
  PrepareSignalSafeLocalTime();
}

void WriteCrashLogLine(const char* message) {
  // Static: the crash handler lets one thread in at a time.
  static char buffer[1024 + 128];
  signalsafe::Text line(buffer, sizeof buffer - 1);
  AppendDateTime(&line);
  // The logger prints the thread as std::thread::id does: pthread_self in decimal.
  line.Append("--[Thread](").AppendUnsigned(static_cast<uint64_t>(pthread_self())).Append(") ");
  line.Append(message);
  const size_t length = line.Length();
  buffer[length] = '\n';

  signalsafe::WriteAll(1, buffer, length + 1);
  const char* path = g_logFilePath->Get();
  if (*path == '\0') return;
  const int fd = signalsafe::Open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  signalsafe::WriteAll(fd, buffer, length + 1);
  signalsafe::Close(fd);
}

}  // namespace platform
