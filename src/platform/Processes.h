// Processes: the process list, process handles, ending a process, starting
// programs, and this process's own command line. Any thread; nothing here
// holds a lock across calls.
//
// Facts about processes (the list, executable names, module paths, this
// process's command line) are read from /proc, or from the folder named by
// $VORNIK_PROC_ROOT when that is set: tests lay out fake entries there
// ("<root>/<pid>/exe" a symbolic link, "<root>/<pid>/comm", "<root>/self/cmdline").
// Handles, waits and signals always act on the real processes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

constexpr uint32_t kWaitForever = UINT32_MAX;

struct ProcessEntry {
  uint32_t processId = 0;
  // The executable's file name without its folder, as the process list shows
  // it ("lumaclear_setup.exe"); the kernel's short name when the executable
  // cannot be read (another user's process, a kernel thread).
  std::wstring exeFile;
};

// The process-list snapshot: every process, ordered by id. A process that ends
// while the list is read is left out. False (and an empty list) when the list
// cannot be read or holds no process at all.
bool SnapshotProcesses(std::vector<ProcessEntry>* entries);

uint32_t GetCurrentProcessId();

// An open process. It keeps naming the process it was opened on even when that
// process ends and its id is given to another one (a pidfd), so a late
// TerminateProcess can never hit a stranger. Closing the handle leaves the
// process alone. A handle from CreateProcess also owns the child's exit
// status: when it is dropped before WaitForProcess saw the end, a background
// reaper collects the child so that it never lingers as a zombie.
// Move-only; one thread at a time per handle.
class ProcessHandle {
 public:
  ProcessHandle() = default;
  ~ProcessHandle();
  ProcessHandle(ProcessHandle&& other) noexcept;
  ProcessHandle& operator=(ProcessHandle&& other) noexcept;
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;

  bool IsValid() const { return processId_ != 0; }
  uint32_t ProcessId() const { return processId_; }

 private:
  friend ProcessHandle OpenProcess(uint32_t processId);
  friend uint32_t GetProcessModulePath(const ProcessHandle& process, uint32_t capacity,
                                       std::wstring* path);
  friend bool TerminateProcess(const ProcessHandle& process, uint32_t exitCode, int* lastError);
  friend bool WaitForProcess(ProcessHandle& process, uint32_t timeoutMs);
  friend bool GetExitCodeProcess(const ProcessHandle& process, uint32_t* exitCode);
  friend class ProcessSpawner;

  ProcessHandle(uint32_t processId, int pidFd, bool ownChild)
      : processId_(processId), pidFd_(pidFd), ownChild_(ownChild) {}
  // Whether the process has ended, without collecting a child of ours.
  bool IsGone() const;
  // The same, collecting a child of ours that has ended. Never blocks.
  bool HasEnded();
  void Close();

  uint32_t processId_ = 0;
  int pidFd_ = -1;         // -1 where the kernel offers no pidfd: the bare id is used
  bool ownChild_ = false;  // started by us: its exit status is ours to collect
  bool reaped_ = false;
  int waitStatus_ = 0;
};

// Opens a running process (or a zombie). An invalid handle when there is no
// process with that id.
ProcessHandle OpenProcess(uint32_t processId);

// The full path of the process's executable, "/proc/PID/exe" resolved (a
// deleted executable keeps the kernel's " (deleted)" mark). At most
// capacity - 1 characters are stored in *path. Returns the number of characters
// stored, capacity when the path had to be cut, and 0 (with *path empty) when
// the path cannot be read: invalid handle, another user's process, a kernel
// thread, or a process that has ended.
uint32_t GetProcessModulePath(const ProcessHandle& process, uint32_t capacity, std::wstring* path);

// Ends the process at once (SIGKILL). exitCode has no meaning here: a killed
// process's status is "killed by signal 9". Like its Windows model it does not
// wait for the end; WaitForProcess does. *lastError (may be null) is 0 on
// success, else the errno value (ESRCH: the process has ended, EPERM: not
// ours to end, EBADF: invalid handle).
bool TerminateProcess(const ProcessHandle& process, uint32_t exitCode, int* lastError);

// True when the process has ended within timeoutMs (kWaitForever: no limit).
// For a child of CreateProcess this also collects its exit status. Blocks the
// calling thread.
bool WaitForProcess(ProcessHandle& process, uint32_t timeoutMs);

// The exit status of a child of CreateProcess after WaitForProcess saw it end:
// its exit code, or 128 + the signal number when a signal ended it. False
// while it runs or for a handle from OpenProcess.
bool GetExitCodeProcess(const ProcessHandle& process, uint32_t* exitCode);

// CreateProcess: commandLine is split as Windows splits it; its first word is
// the program (searched in $PATH when it holds no "/"), all words are its
// arguments. The child inherits the environment and the standard streams and
// no other descriptor; it runs in workingFolder (empty: ours). On success
// *process is the child's handle. *lastError (may be null) is 0 or the errno
// value of the failure (ENOENT: no such program).
bool CreateProcess(const std::wstring& commandLine, const std::wstring& workingFolder,
                   ProcessHandle* process, int* lastError);

// CreateProcess with an application name: starts program with the words of
// parameters (split as Windows splits them) as its arguments. As above
// otherwise.
bool CreateProcessWithApplication(const std::wstring& program, const std::wstring& parameters,
                                  const std::wstring& workingFolder, ProcessHandle* process,
                                  int* lastError);

// Starts program (searched in $PATH when it holds no "/") with arguments, in
// a session of its own, standard streams on /dev/null, detached: it outlives
// us and is collected when it ends. *lastError as for CreateProcess.
bool SpawnDetached(const std::wstring& program, const std::vector<std::wstring>& arguments,
                   int* lastError);

// This process's whole command line as a Windows program would get it: the
// program as it was started and the arguments, each quoted where needed, joined
// by blanks. Empty when it cannot be read.
std::wstring GetProcessCommandLine();

// The shell's "open" on this program with parameters, hidden: starts
// GetModuleFilePath() again with parameters split as Windows splits them, in
// our working folder, in a session of its own, with standard input and output
// on /dev/null and no other inherited descriptor (lock files included). The
// child outlives us and is collected when it ends, never left as a zombie.
// False when the program's file no longer exists or cannot be started.
bool ShellExecuteSelfHidden(const std::wstring& parameters);

}  // namespace platform
