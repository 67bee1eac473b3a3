// File and text primitives for code that runs inside a crash signal handler.
//
// Every function here is async-signal-safe: it makes system calls directly
// (no stdio, no locks, no allocation, nothing a sanitizer intercepts) and
// writes only into buffers its caller owns. errno is set as the system call
// leaves it. Any thread, including a thread that has just faulted.
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {
namespace signalsafe {

// openat(AT_FDCWD, ...): a descriptor, or -1 with errno set.
int Open(const char* path, int flags, int mode);
int Close(int fd);
// Writes all of data (retrying short writes and EINTR); false on failure.
bool WriteAll(int fd, const void* data, size_t size);
// The same at a file offset, leaving the descriptor's own offset alone.
bool WriteAllAt(int fd, const void* data, size_t size, uint64_t offset);
// read(2) retrying EINTR: bytes read, 0 at the end, -1 on failure.
long Read(int fd, void* buffer, size_t size);
int Rename(const char* from, const char* to);
// readlink(2) without the terminating zero written: length or -1.
long ReadLink(const char* path, char* buffer, size_t size);
int CurrentThreadId();
int CurrentProcessId();
// Wall-clock time since 1970.
void RealTime(int64_t* seconds, long* nanoseconds);

// A zero-terminated text built in a fixed buffer. Appending past the
// capacity cuts the text off (Truncated() then tells); never overflows.
class Text {
 public:
  Text(char* buffer, size_t capacity);
  Text& Append(const char* text);
  Text& Append(const char* text, size_t length);
  Text& AppendDecimal(int64_t value);
  Text& AppendUnsigned(uint64_t value);
  // value in decimal with at least width digits, zero-padded ("%.4d").
  Text& AppendPadded(int64_t value, int width);
  const char* Get() const { return buffer_; }
  size_t Length() const { return length_; }
  bool Truncated() const { return truncated_; }
  void Clear();

 private:
  Text& AppendDigits(uint64_t value, int width);

  char* buffer_;
  size_t capacity_;
  size_t length_ = 0;
  bool truncated_ = false;
};

// Length of a zero-terminated text.
size_t Length(const char* text);
bool Equal(const char* a, const char* b);

}  // namespace signalsafe
}  // namespace platform
