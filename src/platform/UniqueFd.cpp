#include "platform/UniqueFd.h"

#include <unistd.h>

namespace platform {

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0 && fd_ != fd) ::close(fd_);
  fd_ = fd;
}

}  // namespace platform
