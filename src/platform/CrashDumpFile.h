// The dump file of a crash, made from inside the crash signal handler. It is
// written as "<path>.part" and renamed to its path when closed, so a dump
// whose writing broke off (the handler itself died) never takes the name
// that the shipping runs look for. Async-signal-safe; one crash at a time.
#pragma once
#include <climits>

namespace platform {

class CrashDumpFile {
 public:
  CrashDumpFile() = default;
  ~CrashDumpFile() { Close(); }
  CrashDumpFile(const CrashDumpFile&) = delete;
  CrashDumpFile& operator=(const CrashDumpFile&) = delete;

  // Creates (or empties) the file for path, mode 0644. False with *error set
  // to the errno value when it cannot; else *error is 0.
  bool Create(const char* path, int* error);
  int Descriptor() const { return fd_; }
  // Closes the file and puts it at its path; false when either fails.
  bool Close();

 private:
  int fd_ = -1;
  char path_[PATH_MAX] = {};
  char partPath_[PATH_MAX] = {};
};

}  // namespace platform
