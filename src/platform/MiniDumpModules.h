// The minidump's module list: every file that code is mapped from, read from
// /proc/self/maps, one module per file from its first mapping to the end of
// its last one that follows, plus the kernel's "[vdso]". Async-signal-safe; one
// caller at a time (static tables, as the crash handler guarantees).
#pragma once
#include "platform/MiniDumpFile.h"

namespace platform {
namespace minidump {

// Appends the module names and the MINIDUMP_MODULE_LIST; the list's location,
// or an empty one (with file.Failed() or an unreadable maps file).
Location AppendModuleList(MiniDumpFile* file);

}  // namespace minidump
}  // namespace platform
