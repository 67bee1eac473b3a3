// Free utility routines of the program, grouped as the rest of the code
// expects to find them. Each routine states its own thread rules.
//
// System information (FuntionImplSystemInfo.cpp) and the process finder
// (FuntionImplProcess.cpp) are stateless queries: any thread. A query that
// fails answers empty, 0 or false and never throws.
#pragma once
#include <cstdint>
#include <string>

namespace FuntionImpl {

// Adds the program's own executable to the firewall's authorised applications.
// 0 when the firewall profile was reached, -1 when the firewall manager cannot
// be set up (always, on this system). Messages go to standard output. UI thread.
int AuthorizeSelfInFirewall(const std::wstring& imagePath);

// ---- Crash reports and log shipping (FuntionImplShipping.cpp) -------------

// The shipping of a "-dmp " or "-close" run: packs a run's log from the event
// logger's log folder (as a copy, "<log>_copy.log", since the run may still
// hold it) into "<log folder>/<17-digit local time>.zip" under the entry
// logFileName; with dumps also "<log>.dmp" as "<logFileName>.dmp", or, when
// that is missing, every "*.dmp" file of the folder under its own name; and
// extraFile, when given and present, under its file name. Then uploads it
// (UploadProductLog) as "<log name>_<time>.zip" with catalogue reason
// ("default" when empty). Result: the upload's (0 uploaded, negative codes of
// UploadProductLog.h); -1 when the archive cannot be made, and also when there
// is no log folder or logFileName is not a plain file name (empty, "." or
// "..", or holding "/"), since then nothing may be read or written; 0 when no
// archive exists after packing. The archive and the copy are deleted only
// after a successful upload. Main thread of a shipping run; blocks for the
// upload.
int PackAndUploadLogs(bool withDumps, const std::wstring& logFileName, const std::string& reason,
                      const std::wstring& extraFile);

// The crash test of the Install click (switch CrashTest): writes to the null
// address, an access violation that only the crash handler sees. Never returns.
[[noreturn]] void RaiseCrashForTest();

// ---- System information -------------------------------------------------

// The operating system's name, downloader form ("Windows 10", "Windows 11",
// or on a Linux machine the distribution's name), and its version number.
std::string GetOSName(float* versionNumber);
// True when the registry's build number is at least 22000.
bool IsWindows11();
// True when this process runs under the 32-bit emulation of a 64-bit system;
// false also when the query is unavailable.
bool IsWow64();
// "English_United States" for the user's interface language; an unknown
// language id gives "0x%.4x_0x%.4x".
std::string GetLocaleName();
// The locale name of one language id (the table behind GetLocaleName).
std::string LocaleNameOfLanguageId(uint16_t languageId);
// "%d.%d.%d.%d" of a file's version; "" when the file carries none.
std::string GetFileVersion(const std::wstring& filePath);
std::wstring GetFileVersionW(const std::wstring& filePath);
struct FileProductInfo {
  std::wstring productName;
  std::wstring productVersion;
  std::wstring legalCopyright;
  std::wstring fileDescription;
};
FileProductInfo GetFileProductInfo(const std::wstring& filePath);
// "CN", "PPC" or "SEO" for the site id the event logger holds.
std::string GetTrafficType();
std::string TrafficTypeOfSite(int32_t siteId);
// The channel label of the event logger's site id and a start-up URL.
std::string GetChannelLabel(const std::string& startupUrl);
std::string ChannelLabelOfSite(int32_t siteId, const std::string& startupUrl);
// Text conversions.
std::string UnicodeToUtf8(const std::wstring& text);
std::wstring Utf8ToUnicode(const std::string& text);
std::string AnsiToUtf8(const std::string& text);
// The report SDK's forms: OS name with "-64"/"-32", OS version
// "DisplayVersion(CurrentBuildNumber)".
std::string GetSdkOsName();
std::string GetSdkOsVersion();
// "%02X:%02X:..." of the first network adapter; "" when there is none.
std::string GetMacAddress();
// Volume GUID (no braces) and "%X" serial of the system volume; "" on failure.
std::string GetVolumeGuid();
std::string GetVolumeSerial();
// Board maker and product, UTF-8; "" when unreadable.
std::string GetBoardMaker();
std::string GetBoardProduct();
// Width and height in pixels of the display, and the pixel width divided by
// the monitor's logical width. 0, 0 and 0.0 without a display.
double GetDisplayMode(int32_t* width, int32_t* height);

// ---- Process finder -------------------------------------------------------

// The id of the last running process whose executable is filePath (or, with
// includeTemporaryCopies, its ".tmp" twin or any copy running from a path
// containing ".tmp"); -1 when none matched, -2 when the process list could
// not be read. With kill each match is ended. Never matches the calling
// process. Any thread; holds no lock.
int FindProcessByFullPath(const std::wstring& filePath, bool kill, bool includeTemporaryCopies);

// ---- Signature and runtime checks -----------------------------------------
// Stateless; any thread (the program calls them from the threads it names).

// True only when the file carries a valid embedded signature: Authenticode
// for a PE image, an appended PKCS#7 block for any other file, checked under
// the hash-only policy (SignatureTrust.h). Logs " VerifyEmbeddedSignature
// result is <code>, <message>". Install flow thread.
bool VerifyEmbeddedSignature(const std::wstring& filePath);

// True when the machine's .NET Framework 4 version is lower than the one the
// product's "NetFrameCheck.db" in installFolder asks for; false without that
// file or its key. Logs both versions when it compares them.
bool WillShowNetFrameCheck(const std::wstring& installFolder);
// The registry's .NET Framework 4 "Version"; empty when missing or unusable.
std::wstring GetLocalNetFrameworkVersion();
// The NetFrameworkVersion value of installFolder's NetFrameCheck.db, line
// break included; empty when there is none (NetFrameworkCheckScanner.h).
std::wstring ReadNeededNetFrameworkVersion(const std::wstring& installFolder);
// Four numbers of a dotted version text: each piece's leading decimal number
// (blanks skipped, optional sign, 0 without digits, held to 32 bits), only the
// characters' low bytes looked at; missing pieces 0, pieces after the fourth
// ignored.
void ParseVersionNumbers(const std::wstring& version, int32_t (&numbers)[4]);

// The current date and time at UTC+8, "%04d-%02d-%02d %02d:%02d:%02d"
// (ChinaTime.h formats a given moment).
std::string GetChinaTimeText();

// ---- Starting the product ---------------------------------------------------

// Starts the installed product. quotedPath is its main program in double
// quotes. With adminFlag not 0 it runs as this process's user (with our
// rights), in its own folder; with 0 it starts as the desktop session's user
// after a check that the file exists. 0 started, -1 failed (logged, event
// "Other"/"StartWindowError"/the error code). Any thread.
int StartTargetMainExe(const std::wstring& quotedPath, int32_t adminFlag);

}  // namespace FuntionImpl
