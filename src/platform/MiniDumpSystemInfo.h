// The minidump's MINIDUMP_SYSTEM_INFO record: processor and kernel facts,
// gathered by ordinary code before any crash (uname and cpuid are not to be
// relied on inside a signal handler) and read by the writer afterwards.
#pragma once
#include <cstdint>

#include "platform/MiniDumpFormat.h"

namespace platform {
namespace minidump {

// Gathers the facts. Ordinary code; once at start-up (later calls do the same again).
void PrepareSystemInfo();

// Async-signal-safe: copies the record into out (kSystemInfoBytes; its
// CSDVersionRva is left 0 for the writer) and returns the text for the
// CSD version string ("Linux <release> <version> <machine>"; "" unprepared).
const char* CopySystemInfo(uint8_t* out);

constexpr size_t kCsdVersionRvaOffset = 24;

}  // namespace minidump
}  // namespace platform
