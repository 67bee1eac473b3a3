#include "platform/SignalSafeIo.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace signalsafe {

int Open(const char* path, int flags, int mode) {
  return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

int Close(int fd) { return static_cast<int>(syscall(SYS_close, fd)); }

bool WriteAll(int fd, const void* data, size_t size) {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const long written = syscall(SYS_write, fd, next, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    next += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset) {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const long written = syscall(SYS_pwrite64, fd, next, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    next += written;
    size -= static_cast<size_t>(written);
    offset += static_cast<uint64_t>(written);
  }
  return true;
}

long Read(int fd, void* buffer, size_t size) {
  for (;;) {
    const long got = syscall(SYS_read, fd, buffer, size);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

int Rename(const char* from, const char* to) {
  return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

long ReadLink(const char* path, char* buffer, size_t size) {
  return syscall(SYS_readlinkat, AT_FDCWD, path, buffer, size);
}

int CurrentThreadId() { return static_cast<int>(syscall(SYS_gettid)); }

int CurrentProcessId() { return static_cast<int>(syscall(SYS_getpid)); }

void RealTime(int64_t* seconds, long* nanoseconds) {
  timeval now{};
  syscall(SYS_gettimeofday, &now, nullptr);
  *seconds = now.tv_sec;
  *nanoseconds = static_cast<long>(now.tv_usec) * 1000;
}

Text::Text(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {
  if (capacity_ > 0) buffer_[0] = '\0';
}

void Text::Clear() {
  length_ = 0;
  truncated_ = false;
  if (capacity_ > 0) buffer_[0] = '\0';
}

Text& Text::Append(const char* text) { return Append(text, signalsafe::Length(text)); }

Text& Text::Append(const char* text, size_t length) {
  if (capacity_ == 0) return *this;
  for (size_t i = 0; i < length; ++i) {
    if (length_ + 1 >= capacity_) {
      truncated_ = true;
      break;
    }
    buffer_[length_++] = text[i];
  }
  buffer_[length_] = '\0';
  return *this;
}

Text& Text::AppendDecimal(int64_t value) { return AppendPadded(value, 1); }

Text& Text::AppendUnsigned(uint64_t value) { return AppendDigits(value, 1); }

Text& Text::AppendPadded(int64_t value, int width) {
  if (value >= 0) return AppendDigits(static_cast<uint64_t>(value), width);
  Append("-", 1);
  // The magnitude of INT64_MIN does not fit an int64_t; it does fit a uint64_t.
  return AppendDigits(~static_cast<uint64_t>(value) + 1, width);
}

Text& Text::AppendDigits(uint64_t value, int width) {
  char reversed[24];
  int count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count < width && count < 20) reversed[count++] = '0';
  char digits[24];
  for (int i = 0; i < count; ++i) digits[i] = reversed[count - 1 - i];
  return Append(digits, static_cast<size_t>(count));
}

size_t Length(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

bool Equal(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

}  // namespace signalsafe
}  // namespace platform
