// The program's one logger: easylogging++'s "default" logger, Info level only.
// Configured once by the entry (ConfigureFileLog); until then the library's
// defaults apply (standard output only). Any thread may log.
#pragma once
#include <easylogging++.h>

#include <string>

namespace vornik_log {

// Points the "default" logger's Info level at filePath (UTF-8) with the line
// format "%datetime--[Thread](%thread) %msg", to standard output and to file.
// Fatal lines do not abort; detailed crash reasons are off.
void ConfigureFileLog(const std::string& filePath);

}  // namespace vornik_log
