// SharedFile: the local file that the workers of one download write into,
// each at the offsets of its own slice.
//
// Offsets are signed 64-bit from the start of the file, so files of any size
// can be written; writing past the end grows the file, and the bytes skipped
// over read as zeros without taking disk space where the file system allows.
// Writes go straight to the operating system (no buffer in the process), so
// a write that has returned survives the end of the process, kill included.
//
// Open and Close belong to the owner (the worker pool) and must not run while
// another thread writes. WriteAt and Flush may be called from any thread; the
// download serialises them with its write mutex, and this class adds no lock.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Windows error codes that Open reports, so that callers can keep the
// Windows program's rules (a busy file is retried after ending its process).
constexpr uint32_t kErrorPathNotFound = 3;  // a folder of the path is missing
constexpr uint32_t kErrorTooManyOpenFiles = 4;
constexpr uint32_t kErrorAccessDenied = 5;       // no permission, or the path is a folder
constexpr uint32_t kErrorWriteProtect = 19;      // read-only file system
constexpr uint32_t kErrorGenFailure = 31;        // any other failure
constexpr uint32_t kErrorSharingViolation = 32;  // the file is a program that is running
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorFilenameTooLong = 206;

class SharedFile {
 public:
  SharedFile() = default;
  ~SharedFile();  // closes
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;

  // Opens path (UTF-8) for binary reading and writing: an existing file is
  // kept as it is, a missing one is created empty (the folder must exist).
  // Closes whatever was open before. On failure returns false and sets
  // *errorCode (may be null) to one of the codes above; 0 on success.
  bool Open(const std::string& path, uint32_t* errorCode);
  bool IsOpen() const { return fd_ >= 0; }
  // Writes size bytes of data at offset. Returns the number of bytes written:
  // size, or fewer when the disk is full or the file is not open or the
  // offset is negative. Never moves a position shared with other writers.
  size_t WriteAt(int64_t offset, const void* data, size_t size);
  // Reads up to size bytes at offset; returns the number read (fewer at the
  // end of the file or on error).
  size_t ReadAt(int64_t offset, void* data, size_t size) const;
  // Hands every byte written so far to the operating system, so that it
  // survives the end of the process. Not a disk sync. False when not open.
  bool Flush();
  void Close();

 private:
  int fd_ = -1;
};

}  // namespace platform
