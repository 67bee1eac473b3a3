// Well-known folders and files of the process. Any thread.
// Folders returned here never end in "/" unless the name says so.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// The program's own executable, /proc/self/exe resolved.
std::wstring GetModuleFilePath();
// Folder part of GetModuleFilePath(), ending in "/".
std::wstring GetModuleFolder();
// Unit tests stand in another executable path; empty restores the real one.
void SetModuleFilePathForTesting(const std::wstring& path);

// $APPDATA when set, else $XDG_DATA_HOME, else $HOME/.local/share (the
// password database's home folder when HOME is unset). Empty variables count
// as unset.
std::wstring GetAppDataFolder();
// $TMPDIR (when set and not empty) or /tmp, ending in "/".
std::wstring GetTempFolder();
// $XDG_RUNTIME_DIR when set and usable (an absolute path to a folder this
// process may write), else /tmp. Lock files and window sockets live here.
std::wstring GetRuntimeFolder();

// Creates every missing folder along path (mode 0755 before the umask). True
// when the folder exists afterwards.
bool CreateDirectories(const std::wstring& path);
// GetFileAttributes stand-in: true when anything exists at path (a dangling
// symbolic link counts).
bool PathExists(const std::wstring& path);
// True when path is a folder or a symbolic link to one.
bool IsDirectory(const std::wstring& path);
// Lets the owner run the file (a program fetched as data). True when it is
// executable afterwards.
bool MarkExecutable(const std::wstring& path);
// DeleteFile stand-in: removes a file (not a folder). *lastError (may be
// null) receives the Windows error code: 0 on success, 2 when nothing was
// there, 5 when not allowed (a folder included), 31 otherwise.
bool DeleteFile(const std::wstring& path, uint32_t* lastError = nullptr);

// A name made fit to be one part of a file name: every character outside
// [A-Za-z0-9_.-] becomes "_". Named mutexes and window classes name their
// files with it.
std::wstring SanitizeFileNamePart(const std::wstring& name);

}  // namespace platform
