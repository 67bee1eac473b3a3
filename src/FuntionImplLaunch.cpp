// Starting the installed product.
#include <cerrno>
#include <cstdio>
#include <string>

#include "FuntionImpl.h"
#include "Logging.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Shell.h"

namespace FuntionImpl {
namespace {

void ReportStartError(int code) {
  CSingleUserLog::GetInstance()->AddUserLog("Other", "StartWindowError",
                                            std::to_string(code).c_str());
}

// The Windows error code of a failed start (2: no such file, 5: not allowed).
int WindowsErrorOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return 2;
    case EACCES:
    case EPERM:
      return 5;
    default:
      return error == 0 ? 0 : 31;
  }
}

}  // namespace

int StartTargetMainExe(const std::wstring& quotedPath, int32_t adminFlag) {
  if (adminFlag != 0) {
    // The folder of the path with its trailing separator, the leading quote left out.
    const size_t lastSlash = quotedPath.rfind(L'/');
    const std::wstring folder = lastSlash == std::wstring::npos || lastSlash < 1
                                    ? std::wstring()
                                    : quotedPath.substr(1, lastSlash);
    platform::ProcessHandle product;
    int error = 0;
    if (!platform::CreateProcess(quotedPath, folder, &product, &error)) {
      const int code = WindowsErrorOf(error);
      char line[64];
      std::snprintf(line, sizeof line, "CreateProcess failed3 (%d)", code);
      LOG(INFO) << line;
      ReportStartError(code);
      return -1;
    }
    return 0;
  }
  const std::wstring path =
      quotedPath.size() >= 2 ? quotedPath.substr(1, quotedPath.size() - 2) : std::wstring();
  if (!platform::PathExists(path)) {
    LOG(INFO) << " CreateProcess failed1 (" << 2 << ")";
    ReportStartError(2);
    return -1;
  }
  int error = 0;
  if (!platform::StartAsDesktopUser(path, &error) || error != 0) {
    const int code = WindowsErrorOf(error);
    LOG(INFO) << " CreateProcess failed2 (" << code << ")";
    ReportStartError(code);
    return -1;
  }
  return 0;
}

}  // namespace FuntionImpl
