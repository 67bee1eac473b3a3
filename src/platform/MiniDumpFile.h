// The output side of the minidump writer: blocks appended one after the
// other at 8-byte aligned offsets (RVAs) of a file, and records patched in at
// known offsets. Async-signal-safe; a failed write makes every later call
// fail, and Failed() tells.
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {
namespace minidump {

// MINIDUMP_LOCATION_DESCRIPTOR.
struct Location {
  uint32_t dataSize = 0;
  uint32_t rva = 0;
};

class MiniDumpFile {
 public:
  // Blocks are appended from firstRva on.
  MiniDumpFile(int fd, uint32_t firstRva);

  Location Append(const void* data, size_t size);
  // Sets aside size bytes for records that WriteAt fills in afterwards.
  Location Reserve(size_t size);
  // A MINIDUMP_STRING (32-bit byte length, UTF-16LE text, zero terminator)
  // of a UTF-8 text; bytes that are not UTF-8 become U+FFFD. Texts past 4 KiB
  // are cut.
  Location AppendString(const char* utf8, size_t length);
  bool WriteAt(uint32_t rva, const void* data, size_t size);
  bool Failed() const { return failed_; }

 private:
  int fd_;
  uint64_t next_;
  bool failed_ = false;
};

// Puts a location descriptor into a record.
void PutLocation(uint8_t* record, size_t offset, const Location& location);

// Converts UTF-8 to UTF-16 code units; returns how many were written (at
// most capacity). Pure; exposed for tests.
size_t Utf8ToUtf16(const char* utf8, size_t length, uint16_t* out, size_t capacity);

}  // namespace minidump
}  // namespace platform
