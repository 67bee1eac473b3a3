// The log shipping of the "-dmp " and "-close" runs, and the crash test that
// exercises the crash handler behind the first of them.
#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "FuntionImpl.h"
#include "Logging.h"
#include "SingleUserLog.h"
#include "UploadProductLog.h"
#include "platform/CrashHandler.h"
#include "platform/Encoding.h"
#include "platform/LocalTime.h"
#include "zip/ZipArchiveWriter.h"

namespace FuntionImpl {
namespace {

namespace fs = std::filesystem;
using platform::ToUtf8;

constexpr int kArchiveNotMade = -1;

std::string Digits17(const platform::SystemTime& time) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.4d%.2d%.2d%.2d%.2d%.2d%.3d", time.year, time.month,
                time.day, time.hour, time.minute, time.second, time.milliseconds);
  return digits;
}

// A name that stays inside the log folder: no folder part, not "." or "..".
bool IsPlainFileName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." && name.find(L'/') == std::wstring::npos;
}

// The copy is made under a temporary name and renamed, so a copy that broke
// off never stands for the log. The outcome is not looked at: a missing copy
// is only a missing entry.
void CopyLog(const fs::path& log, const fs::path& copy) {
  fs::path part = copy;
  part += ".part";
  std::error_code error;
  if (fs::copy_file(log, part, fs::copy_options::overwrite_existing, error)) {
    fs::rename(part, copy, error);
  }
  if (error) fs::remove(part, error);
}

bool HasDumpExtension(const std::wstring& name) {
  if (name.size() < 4) return false;
  std::wstring extension = name.substr(name.size() - 4);
  for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
  return extension == L".dmp";
}

// Every "*.dmp" file of folder (no folders), by name.
std::vector<fs::path> DumpsIn(const fs::path& folder) {
  std::vector<fs::path> dumps;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError) && HasDumpExtension(it->path().filename().wstring()))
      dumps.push_back(it->path());
  }
  std::sort(dumps.begin(), dumps.end());
  return dumps;
}

void AddDumps(ZipArchiveWriter* archive, const fs::path& folder, const std::wstring& logFileName) {
  const fs::path besideLog = folder / (logFileName + L".dmp");
  std::error_code error;
  if (fs::exists(besideLog, error)) {
    archive->AddFile(logFileName + L".dmp", besideLog.wstring());
    return;
  }
  for (const fs::path& dump : DumpsIn(folder))
    archive->AddFile(dump.filename().wstring(), dump.wstring());
}

// "<log name>_<time>.zip" when the log file name has a "_" (the text before
// the last one is the log name); else empty, and the upload names it.
std::string UploadNameOf(const std::wstring& logFileName, const platform::SystemTime& time) {
  const size_t underscore = logFileName.rfind(L'_');
  if (underscore == std::wstring::npos) return std::string();
  return ToUtf8(logFileName.substr(0, underscore)) + "_" + Digits17(time) + ".zip";
}

}  // namespace

int PackAndUploadLogs(bool withDumps, const std::wstring& logFileName, const std::string& reason,
                      const std::wstring& extraFile) {
  LOG(INFO) << " PackAndUploadLogs: " << reason << ", " << ToUtf8(logFileName)
            << (withDumps ? ", with dumps" : "");
  const std::wstring logFolder = CSingleUserLog::GetInstance()->GetLogFolder();
  // Without a log folder the archive would land in the root folder, and a name
  // with a folder part would ship a file from anywhere: neither is read.
  if (logFolder.empty() || !IsPlainFileName(logFileName)) {
    LOG(INFO) << " PackAndUploadLogs: no log folder or not a log file name, nothing shipped";
    return kArchiveNotMade;
  }
  const fs::path folder(logFolder);
  const fs::path log = folder / logFileName;
  const fs::path copy = folder / (logFileName + L"_copy.log");
  CopyLog(log, copy);

  const platform::SystemTime now = platform::GetLocalTime();
  const fs::path archivePath = folder / platform::FromUtf8(Digits17(now) + ".zip");
  std::unique_ptr<ZipArchiveWriter> archive = ZipArchiveWriter::Open(archivePath.wstring());
  if (!archive) return kArchiveNotMade;
  archive->AddFile(logFileName, copy.wstring());
  if (withDumps) AddDumps(archive.get(), folder, logFileName);
  std::error_code error;
  if (!extraFile.empty() && fs::exists(extraFile, error))
    archive->AddFile(fs::path(extraFile).filename().wstring(), extraFile);
  // A writer that failed leaves no file: a broken archive is never uploaded.
  if (!archive->Close()) return kArchiveNotMade;
  if (!fs::exists(archivePath, error)) return 0;

  const int result =
      UploadProductLog(archivePath.string(), UploadNameOf(logFileName, now), kProductLogProductId,
                       OwnFileVersionText(), reason.empty() ? "default" : reason);
  LOG(INFO) << " PackAndUploadLogs upload result: " << result;
  if (result == kUploadOk) {
    fs::remove(archivePath, error);
    fs::remove(copy, error);
  }
  return result;
}

void RaiseCrashForTest() { platform::WriteToNullAddress(); }

}  // namespace FuntionImpl
