#include "platform/Shell.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/Encoding.h"
#include "platform/Environment.h"
#include "platform/Processes.h"

namespace platform {
namespace {

// The user a root process acts for, or -1.
long DesktopUserId() {
  if (geteuid() != 0) return -1;
  for (const char* name : {"SUDO_UID", "PKEXEC_UID"}) {
    const std::string value = environment::GetEnv(name);
    char* end = nullptr;
    const long id = std::strtol(value.c_str(), &end, 10);
    if (!value.empty() && end != nullptr && *end == '\0' && id > 0) return id;
  }
  return -1;
}

}  // namespace

bool ShellOpen(const std::wstring& target, int* lastError) {
  const std::string replacement = environment::GetEnv("VORNIK_SHELL_OPEN");
  const std::wstring opener = replacement.empty() ? L"xdg-open" : FromUtf8(replacement);
  return SpawnDetached(opener, {target}, lastError);
}

bool ShellOpenProgram(const std::wstring& program, int* lastError) {
  return SpawnDetached(program, {}, lastError);
}

bool StartAsDesktopUser(const std::wstring& program, int* lastError) {
  const long user = DesktopUserId();
  if (user < 0) return SpawnDetached(program, {}, lastError);
  const passwd* entry = getpwuid(static_cast<uid_t>(user));
  const std::wstring group = std::to_wstring(entry != nullptr ? entry->pw_gid : user);
  return SpawnDetached(
      L"setpriv",
      {L"--reuid=" + std::to_wstring(user), L"--regid=" + group, L"--init-groups", L"--", program},
      lastError);
}

}  // namespace platform
