// CDownLoadImpl: the download engine's entry point. SuperDownloadFile runs
// one supervised download (CDownloader) of a URL into a local file and
// returns an EnumErrorCode; checkMD5 verifies the file and leaves a record
// of its digest beside it.
//
// Threads: SuperDownloadFile runs and blocks on the caller's thread (the
// install flow for the main download, the banner thread for pictures) until
// the download has ended, alongside the download's own driver and workers.
// Two calls may run at once on different threads; they share only the
// write mutex of the worker pool and the event logger. A CDownLoadImpl holds
// only its settings, so one object may serve several threads.
//
// Supervision, per pass (a pass waits for the driver's next progress record
// or for the pass interval, whichever comes first):
// - the progress record is sampled for the speed range;
// - no new byte for stallLimitMs (measured on the record's own ticks) stops
//   the download with DOWNLOAD_NO_SPEED;
// - the main download reports (downloaded, length) through
//   ReportDownloadProgress (IDownloadProgress.h);
// - platform::IsNetworkAlive() false stops it with DOWNLOAD_NETWORK_DOWN,
//   after a pause of networkDownPauseMs.
// When the driver has finished by itself the result is DOWNLOAD_OK, unless
// fewer bytes than the remote length arrived (DOWNLOAD_LENGTH_SHORT) or the
// main download's file is smaller than 1 MiB (DOWNLOAD_FILE_TOO_SMALL).
// On every exit the driver has been told to stop, waited for (at most
// driverWaitMs) and closed; the local file and its task file (local path +
// ".xml") stay for the next attempt to resume.
#pragma once
#include <cstdint>
#include <string>

#include "CDownloader.h"

// Waits and sizes of a supervised download. The defaults are the product's;
// tests shorten the waits.
struct SupervisionSettings {
  uint32_t stallLimitMs = 60000;                              // no new byte for this long: give up
  uint32_t driverWaitMs = CDownloader::kDefaultDriverWaitMs;  // longest wait for the driver's end
  uint32_t networkDownPauseMs = 1100;                         // pause before reporting no network
  uint32_t passWaitMs = 5;        // longest wait between two supervision passes
  int threadCount = 0;            // workers; 0: DefaultWorkerCount()
  uint32_t workerStopWaitMs = 0;  // the pool's wait for each worker at its stop; 0: its default
};

class CDownLoadImpl {
 public:
  // A main download's file must hold at least this many bytes.
  static constexpr int64_t kMinimumMainFileBytes = 1048576;

  CDownLoadImpl() = default;
  explicit CDownLoadImpl(const SupervisionSettings& settings) : settings_(settings) {}

  // Downloads url into localPath (its task file: localPath + ".xml").
  // cdnSummary receives the CDN status summary of the slices (see
  // CDownloader::getCdnSummary) on every exit except DOWNLOAD_FILE_TOO_SMALL,
  // which leaves it as it was. mainDownload: the product installer (slice
  // logs, window progress, the 1 MiB minimum); false for side downloads.
  // Returns an EnumErrorCode. Paths of any length are used whole.
  int SuperDownloadFile(const std::wstring& url, const std::wstring& localPath,
                        std::string& cdnSummary, bool mainDownload) const;

  // Digests filePath (a file that cannot be read counts as empty input, and
  // says so in the log), logs the digest and replaces the record file
  // filePath + ".db" with the version text (UTF-8), "###" and the digest (no
  // line end), atomically; a record that cannot be written is skipped.
  // 1 when the digest equals expected or alternative exactly (lowercase
  // hexadecimal: an uppercase expectation never matches), else 0. Blocks
  // while it reads the whole file.
  static int checkMD5(std::wstring filePath, std::wstring expected, std::wstring alternative,
                      std::wstring version);

 private:
  SupervisionSettings settings_;
};
