// A file to be put into an archive: its size and times, and its bytes read
// block by block. One thread at a time.
//
// Only regular files are opened: a folder has no bytes, and a pipe or a
// device could block the reader for ever or never end.
//
// The times come from the C runtime's stat(), which the POSIX and the
// Windows runtimes both offer with the same three fields: st_ctime is the
// creation time on Windows and, lacking that, the last change of the file's
// status here.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

struct ZipSourceTimes {
  int64_t modified = 0;  // seconds since 1970
  int64_t accessed = 0;
  int64_t created = 0;
};

class ZipSourceFile {
 public:
  // Opens path for reading; false (and nothing open) when it is missing,
  // unreadable or not a regular file.
  bool Open(const std::wstring& path);
  // Size when opened; the file may still grow or shrink while it is read.
  uint64_t Size() const { return size_; }
  const ZipSourceTimes& Times() const { return times_; }

  // Reads up to size bytes; returns how many were read, 0 at the end. Sets
  // *failed when the read failed (the bytes before it still count).
  size_t Read(char* buffer, size_t size, bool* failed);

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  uint64_t size_ = 0;
  ZipSourceTimes times_;
};
