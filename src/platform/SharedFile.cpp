#include "platform/SharedFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

uint32_t WindowsErrorOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kErrorAccessDenied;
    case ETXTBSY:
      return kErrorSharingViolation;
    case EROFS:
      return kErrorWriteProtect;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    default:
      return kErrorGenFailure;
  }
}

}  // namespace

SharedFile::~SharedFile() { Close(); }

bool SharedFile::Open(const std::string& path, uint32_t* errorCode) {
  Close();
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (errorCode != nullptr) *errorCode = fd < 0 ? WindowsErrorOf(errno) : 0;
  fd_ = fd;
  return fd >= 0;
}

size_t SharedFile::WriteAt(int64_t offset, const void* data, size_t size) {
  if (fd_ < 0 || offset < 0) return 0;
  const char* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t written = ::pwrite(fd_, bytes + done, size - done, offset + done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    done += static_cast<size_t>(written);
  }
  return done;
}

size_t SharedFile::ReadAt(int64_t offset, void* data, size_t size) const {
  if (fd_ < 0 || offset < 0) return 0;
  char* bytes = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd_, bytes + done, size - done, offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

// pwrite hands each write to the kernel at once: nothing is held back here.
bool SharedFile::Flush() { return fd_ >= 0; }

void SharedFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace platform
