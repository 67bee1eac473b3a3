#include "platform/Environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace platform {
namespace environment {
namespace {

// An entry larger than this is not a home folder we would use.
constexpr std::size_t kMaxPasswordEntryBytes = 1 << 20;

std::string PasswordDatabaseHome() {
  const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    const int error = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (error == 0 && found && found->pw_dir) return found->pw_dir;
    // The suggested size is only a hint: an entry that does not fit says ERANGE.
    if (error != ERANGE || buffer.size() >= kMaxPasswordEntryBytes) return "/";
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string GetEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
  const std::string home = GetEnv("HOME");
  return home.empty() ? PasswordDatabaseHome() : home;
}

}  // namespace environment
}  // namespace platform
