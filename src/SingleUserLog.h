// CSingleUserLog: the process-wide event logger, and the owner of the run's
// log folder, log file, work folder and start timestamp.
//
// Built on first use by GetInstance and destroyed at exit. InitLogPath and
// Init are called once by the entry on the first thread before any worker
// thread exists. Everything else may be called from any thread: the UI
// thread, the install flow, the configuration fetch and the download engine
// all report through it.
//
// Sending: every event and funnel record is handed to the report SDK object
// (IWebLog) on the caller's thread; the SDK only persists and queues it, so a
// send returns quickly. Results of the send operations:
//     0   the SDK took the record
//    -1   there is no report SDK object (nothing is built)
//   -99   the "AutoRun" test switch is set (nothing leaves the process)
//  other  the SDK's last non-zero answer after three attempts
// No caller has to look at the result: telemetry never changes the flow.
//
// Locking: the logger's small state (Init values, sequence flags and
// counters, number cache, registered window) sits behind one narrow mutex
// that is never held while the report SDK or the main window is called.
// "galog.json" is read and written under a second mutex, so the day check
// and the one-time version record never interleave.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "EnumLanguage.h"
#include "platform/LocalTime.h"

class IWebLog;

namespace Json {
class Value;
}

// What the event logger reads from the main window for every funnel record.
// The window registers itself once it is initialised and stays registered
// until exit. Both getters are called on the thread that sends the record
// (any thread), so they must be safe to call from any thread.
class IUserLogWindow {
 public:
  virtual ~IUserLogWindow() = default;
  // The download configuration's product version; empty while none is loaded.
  virtual std::wstring GetProductVersion() const = 0;
  virtual EnumLanguage GetCurrentLanguage() const = 0;
};

class CSingleUserLog {
 public:
  static CSingleUserLog* GetInstance();

  // ---- Paths of the run ---------------------------------------------------

  // Derives and creates, from the log name:
  //   log folder   <APPDATA>/MVDownloader/logs/<name>
  //   log file     <log folder>/<name>_<17-digit local time>.log
  //   work folder  <root of the fixed drive with most room>/MVDownloader/<name>
  // Always true: a folder that cannot be created shows up later as a failed
  // write in the code that needs it.
  bool InitLogPath(const std::wstring& logName);
  std::wstring GetLogFilePath() const;
  std::wstring GetLogFolder() const;
  std::wstring GetWorkFolder() const;
  std::wstring GetStartTime() const;

  // ---- Start-up -------------------------------------------------------------

  // Keeps the product data, runs the day check on "galog.json" in the log
  // folder, then initialises the report SDK (type 2, MainPid as main and
  // parent pid) and gives it the downloader id, kit type (1 special, 0
  // ordinary), "en" and the tools version. Runs even when AutoRun is set.
  // Without a log folder (InitLogPath not run) there is no day marker to read
  // or write, and the run counts as the first of the day.
  void Init(int32_t downloaderId, int32_t siteId, const std::string& productVersion,
            const std::string& productName, const std::string& startupUrl, bool specialDownloader,
            int32_t mainPid);

  // The site id given to Init (0 before).
  int32_t GetSiteId() const;
  // The answer of Init's day check: true for the first run of the calendar
  // day (no marker, another date, or an unreadable marker). False before Init.
  bool IsFirstRunOfDay() const;

  // Machine facts computed at construction, UTF-8.
  std::string GetToolsVersion() const;  // "%d.%d.%d.%d" of the program's own file
  std::string GetChannelId() const;     // see ChannelIdOfFileName

  // The main window that funnel records read their product version and
  // language code from; null unregisters. The window must outlive its
  // registration.
  void RegisterMainWindow(IUserLogWindow* window);

  // ---- Events and funnel records ------------------------------------------

  // One event: the error and sequence funnel records it implies, then the
  // GA4 event. Null texts count as empty. Result: see the file comment; the
  // funnel records' results do not change it. A GA4 tail that would exceed
  // kMaxGa4Text bytes gets its label shortened at a character boundary until
  // it fits; only when even an empty label is too much is the tail's end cut.
  int AddUserLog(const char* category, const char* action, const char* label);
  // The full form; the unnamed int, bool, int and text have no effect.
  int AddUserLog(int, const char* action, bool, int, const char*, const char* label,
                 const char* category);

  // One funnel record. An empty core function name leaves out
  // "core_func_name" and "func_step"; an empty event type is sent as
  // "event". The wait flag has no effect: every record is sent with the same
  // three attempts. The toolkit flag makes "kit_type" 2.
  int AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName,
                        int32_t funcStep, const std::string& category, const std::string& action,
                        const std::string& label, bool wait, bool toolkit);
  // A free-form funnel record: "actions" holds "event_type" "event", the
  // category, the action and one string member per entry with a non-empty
  // key (an entry named like a fixed member replaces it).
  int AddUserLog_funnelEx(const std::string& category, const std::string& action,
                          const std::map<std::string, std::string>& values, bool wait,
                          bool toolkit);
  int AddUserLog_funnelEx(const std::string& category, const std::string& action,
                          const std::string& key, const std::string& value, bool toolkit);

  // Hands the interface language's code and the product version (UTF-8) to
  // the report SDK as common information of later records.
  void UpdateCommonInfo(EnumLanguage language, const std::string& productVersion);

  // ---- Shared values ----------------------------------------------------------

  // A small cache of 64-bit numbers (content lengths of the download engine).
  // An empty key or the value 0 is not stored; an absent key reads as 0.
  void SetCacheValue(const std::string& key, int64_t value);
  int64_t GetCacheValue(const std::string& key) const;

  // The download configuration's Downloader_config, Slice_num, Slice_size and
  // Additional_time, published by its parser for the rest of the program; 0
  // until set. Each value is read and written atomically; a reader running
  // during an update may see some values old and some new.
  void SetDownloadSettings(int32_t downloaderConfig, int32_t sliceNum, int32_t sliceSize,
                           int32_t additionalTime);
  int32_t GetDownloaderConfig() const;
  int32_t GetSliceNum() const;
  int32_t GetSliceSize() const;
  int32_t GetAdditionalTime() const;

  // The logger's last call at exit; logs and returns at once (the logger has
  // no thread; what the report SDK still holds is its own business).
  bool WaitThreadForExit();

  // ---- Helpers ------------------------------------------------------------------

  // The 17-digit timestamp "%.4d%.2d%.2d%.2d%.2d%.2d%.3d" of the local time now.
  static std::wstring LocalTimestamp();
  // The channel id in a program file name (folders before the last "/" are
  // ignored): the characters strictly between the last "_" and the last ".",
  // UTF-8. Empty when either is missing or the last "_" comes after the last ".".
  static std::string ChannelIdOfFileName(const std::wstring& filePath);
  // Splits a locale name such as "English_United States" at its first "_";
  // "Unknown" for both when there is none.
  static void SplitLocaleName(const std::string& localeName, std::string* language,
                              std::string* region);

  // Longest GA4 query tail and custom-dimension text, in bytes.
  static constexpr size_t kMaxGa4Text = 4095;

  // ---- For tests only ------------------------------------------------------------

  // Replaces the report SDK object (null: none, every send answers -1). The
  // object must outlive its use; the logger never deletes it.
  void SetReportObjForTesting(IWebLog* report);
  // The local date and time source of the day check; null restores the clock.
  void SetClockForTesting(std::function<platform::SystemTime()> clock);
  // Back to the state right after construction: paths, Init values, flags,
  // step counters, the version-record-pending flag, cache, settings and the
  // window registration are cleared, and the machine facts (tools version,
  // channel id, OS, locale) are computed again from the current module path.
  // The report object and the clock stay as they are.
  void ResetForTesting();

 private:
  struct MachineFacts {
    std::string toolsVersion;
    std::string channelId;
    std::string osDescription;
    std::string language;
    std::string region;
  };
  // What one record needs of the logger's state, copied under the lock.
  struct Snapshot {
    MachineFacts facts;
    std::string productName;
    std::string startupUrl;
    int32_t siteId = 0;
    int32_t mainPid = 0;
    bool specialDownloader = false;
    bool isNew = false;
    IUserLogWindow* window = nullptr;
  };
  // One funnel record an event implies.
  struct DerivedRecord {
    const char* coreFuncName;
    int32_t step;
    std::string action;
    bool toolkit;
  };

  CSingleUserLog();
  static MachineFacts ComputeMachineFacts();

  Snapshot TakeSnapshot() const;
  std::vector<DerivedRecord> PlanDerivedRecords(const std::string& category,
                                                const std::string& action,
                                                const std::string& label);
  std::string BuildGa4Tail(const Snapshot& state, const std::string& category,
                           const std::string& action, const std::string& label) const;
  static Json::Value FunnelRecord(const Snapshot& state, const Json::Value& actions, bool toolkit);
  int SendFunnelRecord(IWebLog* report, const std::string& category, const std::string& action,
                       const Json::Value& actions, bool toolkit);
  // -99 under AutoRun, -1 without a report object, else 0 with *report set.
  int SendGate(IWebLog** report) const;

  platform::SystemTime Now() const;
  std::string GalogPath() const;
  bool RunDayCheck();
  void WriteVersionRecordOnce(const std::string& toolsVersion);

  mutable std::mutex mutex_;  // guards the fields down to galogMutex_
  std::wstring logFilePath_;
  std::wstring logFolder_;
  std::wstring workFolder_;
  std::wstring startTime_;

  MachineFacts facts_;
  int32_t downloaderId_ = 0;
  int32_t siteId_ = 0;
  int32_t mainPid_ = 0;
  bool specialDownloader_ = false;
  bool isNew_ = false;
  std::string productVersion_;
  std::string productName_;
  std::string startupUrl_;
  IUserLogWindow* window_ = nullptr;
  bool flowErrorStarted_ = false;
  bool toolkitErrorStarted_ = false;
  int32_t flowErrorStep_ = 0;
  int32_t toolkitErrorStep_ = 0;
  std::map<std::string, int64_t> cache_;
  std::function<platform::SystemTime()> clock_;

  std::mutex galogMutex_;  // serialises "galog.json" and guards the flag below
  bool versionRecordPending_ = true;

  std::atomic<IWebLog*> report_{nullptr};
  std::atomic<int32_t> downloaderConfig_{0};
  std::atomic<int32_t> sliceNum_{0};
  std::atomic<int32_t> sliceSize_{0};
  std::atomic<int32_t> additionalTime_{0};
};
