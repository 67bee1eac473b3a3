// Log lines written from inside a crash signal handler, in the program's log
// line format ("%datetime--[Thread](%thread) %msg", see Logging.h), to the
// log file and to standard output, as the logger would write them.
//
// The logger itself takes locks and allocates, so a crashed thread cannot
// use it; this writer appends to the same file (the logger opens it for
// appending and flushes every line, so lines never overwrite each other).
#pragma once
#include <string>

namespace platform {

// Names the log file (UTF-8; empty: standard output only) and notes the
// local time's offset. Ordinary code; call again when the log file changes.
// A crash during the call writes to the old or the new file.
void PrepareCrashLog(const std::string& logFilePath);

// Writes one line with message (" Exception handler entered."). Async-
// signal-safe; lines longer than 1 KiB are cut.
void WriteCrashLogLine(const char* message);

}  // namespace platform
