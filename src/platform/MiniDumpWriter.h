// MiniDumpWriteDump of this system: a "normal" minidump of the own process
// in the Windows minidump layout, so that standard minidump readers open it.
//
// Streams: system information (processor, kernel), the exception (the
// signal as exception code, si_code as flags, the fault address; for memory
// faults the parameters read/write/execute and the address, as Windows gives
// them), the thread list with the crashing thread only (its registers as an
// AMD64 CONTEXT and its stack from the stack pointer, less the 128-byte red
// zone, upwards, at most 1 MiB), the memory list (that stack and the 512
// bytes of code around the instruction pointer) and the module list
// (MiniDumpModules.h). Other threads are not in the dump: their registers
// cannot be read from inside the process without stopping them.
//
// The header is written last, so a dump whose writing broke off has no
// signature and readers refuse it rather than misread it.
#pragma once
#include "platform/CrashHandler.h"

namespace platform {

// Gathers the machine facts the dump records. Ordinary code, before a crash.
void PrepareMiniDumpWriter();

// Writes the dump of crash into fd (a new, empty file opened for writing).
// True when every part was written. Async-signal-safe; called by the crash
// handler, which lets one thread in at a time.
bool WriteMiniDump(int fd, const CrashContext& crash);

}  // namespace platform
