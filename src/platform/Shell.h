// The desktop shell's "open" verb and the start of a program as the desktop
// user. Any thread; nothing here waits for what it starts.
//
// Tests replace the shell with a program of their own: VORNIK_SHELL_OPEN
// names it, and it is given the target (and the parameters' words) instead
// of xdg-open.
#pragma once
#include <string>

namespace platform {

// Opens an address, a document or a folder with the user's preferred
// application (xdg-open). False, with *lastError (may be null) set to the
// errno value, when the opener could not be started.
bool ShellOpen(const std::wstring& target, int* lastError);
// The shell's "open" on a program: starts it, detached, without parameters.
bool ShellOpenProgram(const std::wstring& program, int* lastError);
// "explorer.exe /e," stand-in: starts program as the user who owns the desktop
// session. Run by root on behalf of a user (SUDO_UID or PKEXEC_UID set), the
// program gets that user's ids through setpriv; otherwise it starts directly.
bool StartAsDesktopUser(const std::wstring& program, int* lastError);

}  // namespace platform
