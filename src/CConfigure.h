// CConfigure: the download configuration record. It says how to download the
// product (addresses, MD5 digests, size, version, slicing, a few switches):
// from the update server's reply to "/queryDownloaderV2", or from the embedded
// product configuration when the server gives nothing usable.
//
// Ownership: the main window creates one record, right after building its
// layout runs loadFromProductConfig(layout, false) on the UI thread, and keeps
// the record until the process ends.
//
// Threads: two threads fetch. The window's configuration thread runs
// AsyncGetCbsInfo; the install flow thread runs SyncGetCbsInfo when the user
// presses Install. Every store of the raw reply, every parse and every load
// happens under the record's lock, and the flow takes over the record by
// setting the abandon flag under that same lock: once SyncGetCbsInfo has set
// it, the configuration thread parses nothing more, and a parse it had already
// begun is over. The network requests run outside the lock, so both threads
// may fetch at the same moment; the raw reply, once stored, is never replaced.
//
// Reading the fields: the public fields are the record as the install flow,
// source selection and the pre-install checks read it directly. Direct reads
// are safe on the flow thread after SyncGetCbsInfo has returned (nothing else
// writes then, apart from the flow itself). Any other thread that may run
// while a fetch is going (the UI thread, the event logger's callbacks) reads
// through Read(), which holds the lock.
//
// Telemetry goes through CSingleUserLog and never changes the outcome.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "EnumLanguage.h"

namespace ui {
class Control;
}

class CConfigure {
 public:
  // Fetches url into *body and answers libcurl's result code (0 success); the
  // body holds what arrived, whatever the result.
  using Fetcher = std::function<int(const std::string& url, std::string* body)>;
  // The window's interface language at the moment of asking; any thread.
  using LanguageSource = std::function<EnumLanguage()>;

  static constexpr int32_t kStateNotLoaded = 1;
  static constexpr int32_t kStateLoaded = 2;
  static constexpr int32_t kSourceNothing = 0;
  static constexpr int32_t kSourceServer = 1;
  static constexpr int32_t kSourceEmbedded = 2;
  // Longest product name kept from a reply, in characters.
  static constexpr size_t kMaxSoftwareNameLength = 259;
  // The request URL is formed into a buffer of this many bytes.
  static constexpr size_t kRequestUrlBufferSize = 512;

  CConfigure(int32_t downloaderId, int32_t languageId, int32_t siteId);
  CConfigure(const CConfigure&) = delete;
  CConfigure& operator=(const CConfigure&) = delete;

  // ---- The record ------------------------------------------------------------

  int32_t state = kStateNotLoaded;
  int32_t source = kSourceNothing;
  int64_t Filesize = 0;
  int32_t Downloader_id;
  int32_t Software_id = 0;
  int32_t Site_id;
  int32_t Language_id;
  int32_t Downloader_type = 3;
  int32_t Downloader_config = 0;  // published
  int32_t Slice_num = 0;          // published
  int32_t Slice_size = 0;         // published
  int32_t Additional_time = 0;    // published, seconds
  int32_t InstallTimeout = 240;   // seconds
  std::wstring Software_name;
  std::wstring Software_version;
  std::wstring Download_url;
  std::wstring Md5;
  std::wstring Process_name;
  std::wstring Install_url;
  std::wstring Banner_url;
  std::wstring Licensefile_url;
  std::wstring Extra_download_url;
  // Candidate download addresses for source selection: Download_url, then
  // Extra_download_url, each when not empty and not a CDN or service address.
  std::vector<std::wstring> Download_url_list;
  std::wstring Md5_extra;
  std::wstring Cnet_download_url;

  // ---- Operations (any thread; each takes the lock for what it touches) -----

  // State 1, source 0, Filesize and Software_id 0; clears Software_name,
  // Software_version, Download_url, Md5, Process_name, Install_url,
  // Banner_url, Licensefile_url and the address list.
  void reset();

  // One try at the update server: the international host, the mainland host
  // with mainland, the test host whenever the TestEnv switch is set. Blocks
  // for the request (at most the body GET's 5 s). Answers 1 when the reply
  // held a Downloader element that is stored now; 0 otherwise, at once when a
  // raw reply is already stored, and also when another thread stored one
  // while this request ran (the first stays). sync only changes the texts of
  // the log line and the time event.
  int getDownloadInfoXml(bool sync, bool mainland);

  // Parses the stored raw reply into the fields: true, state 2 and source 1
  // when it is well-formed XML; false and state 1 when there is none or it is
  // not. Publishes Downloader_config, Slice_num, Slice_size and
  // Additional_time to the event logger as they are stored.
  bool parseDownloadInfoXml();

  // Fills the fields from the product configuration labels under layout (a
  // null layout reads as an empty configuration) and remembers the values
  // for the form below. layout is the window's control tree: call on the UI
  // thread. With mark the result is the loaded configuration (state 2,
  // source 2) and the candidates join the address list. Returns 1.
  int loadFromProductConfig(ui::Control* layout, bool mark);
  // The same from the values the last call of the form above read, so that
  // the flow thread never walks the window's control tree. Returns 1.
  int loadFromProductConfig(bool mark);

  // Writes the record to the log. Returns 1.
  int printContent() const;

  // The last request URL (empty before the first try).
  std::string getRequestUrl() const;

  // Runs reader with the record locked, so the fields it reads are not being
  // written. reader must not call back into this record.
  void Read(const std::function<void(const CConfigure&)>& reader) const;
  // The install flow's "no usable address in this configuration": state back
  // to 1, so that the next attempt parses the stored reply again or asks the
  // server again.
  void markNotLoaded();

  // ---- The two fetch sequences -------------------------------------------------

  // The main window's configuration thread (InstallUIMainWnd's
  // AsyncGetCbsInfoThreadFunc): international host, then the mainland host
  // when that gave nothing, then the parse and the report SDK's common
  // information (language from language, Software_version). Gives up,
  // logging " GetDownloaderInfo(Async) abandon", as soon as it finds the
  // abandon flag set, at the latest just before parsing. Blocks for up to two
  // requests.
  void AsyncGetCbsInfo(const LanguageSource& language);

  // The install flow's first step: sets the abandon flag, then, unless a
  // configuration is loaded, fetches (international, mainland; a reply the
  // configuration thread stored is used without a new request), parses and
  // falls back to the remembered embedded configuration; logs the record when
  // one is loaded and sends the "DownloadConfigReady" record. Flow thread.
  void SyncGetCbsInfo(const LanguageSource& language);

  // Set by SyncGetCbsInfo; never cleared.
  bool isAsyncFetchAbandoned() const { return abandoned_.load(); }

  // ---- For tests ------------------------------------------------------------------

  // Replaces the HTTP fetch (default: a fresh CLibcurlTool's body GET per
  // try). Call before any fetch starts.
  void setFetcherForTesting(Fetcher fetcher) { fetcher_ = std::move(fetcher); }

 private:
  // What the embedded load reads from the product configuration.
  struct EmbeddedValues {
    int32_t Downloader_id = 0;
    int32_t Software_id = 0;
    int32_t Site_id = 0;
    int32_t Language_id = 0;
    std::wstring Software_name;
    std::wstring Software_version;
    std::wstring Process_name;
    std::wstring Install_url;
    std::wstring Download_url;
    std::wstring Extra_download_url;
    std::wstring Banner_url;
    std::wstring Licensefile_url;
    std::wstring Md5;
    int64_t Filesize = 0;
    std::wstring Md5_extra;
    int32_t InstallTimeout = 0;
    std::wstring Cnet_download_url;
  };

  static EmbeddedValues ReadEmbeddedValues(ui::Control* layout);
  void resetLocked();
  void applyEmbeddedLocked(const EmbeddedValues& values, bool mark);
  bool parseLocked();
  void appendCandidatesLocked();
  void publishSettingsLocked() const;
  void updateCommonInfo(const LanguageSource& language) const;
  // Stores the Downloader element of body, if any and if none is stored yet.
  bool storeReplyOf(const std::string& body);

  mutable std::mutex mutex_;  // guards the public fields and the members below
  std::string requestUrl_;
  std::optional<std::string> rawReply_;
  EmbeddedValues embedded_;
  std::atomic<bool> abandoned_{false};
  Fetcher fetcher_;
};
