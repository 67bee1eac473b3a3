#include "platform/FileLock.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Encoding.h"

namespace platform {

FileLock::FileLock(std::wstring lockFilePath) : path_(std::move(lockFilePath)) {}

FileLock::~FileLock() { Unlock(); }

bool FileLock::TryLock() {
  if (fd_ >= 0) return true;
  const int fd = ::open(ToUtf8(path_).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool FileLock::Lock(uint32_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!TryLock()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // flock has no timed wait; the holders keep the lock for milliseconds.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void FileLock::Unlock() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

void ExitProcess(int code) {
  std::fflush(nullptr);
  ::_exit(code);
}

bool WriteFileAtomically(const std::wstring& path, const std::string& content) {
  const std::string target = ToUtf8(path);
  // A unique temporary name, so that two writers never share one.
  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  size_t written = 0;
  bool ok = ::fchmod(fd, 0644) == 0;
  while (ok && written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    written += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

bool ReadWholeFile(const std::wstring& path, std::string* content) {
  std::ifstream in(ToUtf8(path), std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  *content = buffer.str();
  return true;
}

}  // namespace platform
