// How the download engine reports the main download's bytes to the window.
//
// The main window implements IDownloadProgress and registers itself for as
// long as it exists; the supervisor of a main download calls
// ReportDownloadProgress on its own thread (not the UI thread) every few
// milliseconds while the download runs, and once more with (total, total)
// when a resumed download was already complete. Side downloads report
// nothing.
#pragma once
#include <cstdint>

class IDownloadProgress {
 public:
  virtual ~IDownloadProgress() = default;
  // downloaded: the engine's downloaded figure (it may exceed total by one
  // per unfinished slice); total: the remote file's length. Called on the
  // download's thread with the registration lock held: hand the value to the
  // UI thread (post it) and return, never wait for the UI thread here.
  virtual void UpdateDownloadProgress(int64_t downloaded, int64_t total) = 0;
};

// Registers the receiver of the main download's progress; null unregisters.
// Returns once no call into the previous receiver is in progress, so a
// window may be destroyed after unregistering. Any thread.
void RegisterDownloadProgress(IDownloadProgress* receiver);

// Hands (downloaded, total) to the registered receiver; false when none is
// registered. Any thread.
bool ReportDownloadProgress(int64_t downloaded, int64_t total);
