// Free utility routines of the program, grouped as the rest of the code
// expects to find them. Each routine states its own thread rules.
#pragma once
#include <string>

namespace FuntionImpl {

// Adds the program's own executable to the firewall's authorised applications.
// 0 when the firewall profile was reached, -1 when the firewall manager cannot
// be set up (always, on this system). Messages go to standard output. UI thread.
int AuthorizeSelfInFirewall(const std::wstring& imagePath);

// Packs the named log (and, with dumps, the crash dumps) of an earlier run and
// uploads the archive under the given reason. Main thread of a shipping run.
int PackAndUploadLogs(bool withDumps, const std::wstring& logFileName, const std::string& reason,
                      const std::wstring& extraFile);

}  // namespace FuntionImpl
