#include "zip/ZipSourceFile.h"

#include <sys/stat.h>

#include "platform/Encoding.h"

bool ZipSourceFile::Open(const std::wstring& path) {
  file_.reset();
  const std::string narrow = platform::ToUtf8(path);
  struct stat status {};
  if (narrow.empty() || stat(narrow.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return false;
  }
  file_.reset(std::fopen(narrow.c_str(), "rb"));
  if (!file_) return false;
  size_ = static_cast<uint64_t>(status.st_size);
  times_.modified = static_cast<int64_t>(status.st_mtime);
  times_.accessed = static_cast<int64_t>(status.st_atime);
  times_.created = static_cast<int64_t>(status.st_ctime);
  return true;
}

size_t ZipSourceFile::Read(char* buffer, size_t size, bool* failed) {
  if (!file_) {
    *failed = true;
    return 0;
  }
  const size_t read = std::fread(buffer, 1, size, file_.get());
  if (read < size && std::ferror(file_.get())) *failed = true;
  return read;
}
