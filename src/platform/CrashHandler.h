// The unhandled-exception filter of this system: one process-wide handler
// for the signals that end a process on a fault (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE) and for SIGABRT.
//
// The handler runs on the thread that crashed, with every signal blocked, on
// an alternate signal stack where the thread has one (the installing thread
// always has; so a stack overflow there can still be reported). Only
// async-signal-safe work may happen in it: other threads may hold any lock,
// the heap included. One crash is handled at a time: a second thread that
// crashes meanwhile waits until the first one ends the process.
//
// After the handler returns, the process ends by the same signal under the
// default action, so the parent sees how it died.
#pragma once
#include <cstdint>

namespace platform {

// What the handler is told of the crash: the "exception pointers" here.
struct CrashContext {
  int signalNumber = 0;
  int signalCode = 0;                    // si_code: how the signal came (SEGV_MAPERR, SI_USER, ...)
  uint64_t faultAddress = 0;             // si_addr: the address that faulted (0 for a sent signal)
  int threadId = 0;                      // the crashing thread's kernel id
  uint64_t threadHandle = 0;             // its pthread_t
  const void* machineContext = nullptr;  // the ucontext_t the kernel saved
};

// Returns 1 ("execute the handler": the process ends), as a Windows filter does.
using CrashHandlerFunction = int (*)(const CrashContext* context);

// Installs handler for the five signals and gives the calling thread its
// alternate stack. Ordinary code, once, before other threads exist (a later
// call replaces the handler). False when a signal could not be set up.
bool InstallCrashHandler(CrashHandlerFunction handler);

// Writes to the address 0, so the process faults with SIGSEGV there; not
// caught by anything but the crash handler. Never returns.
[[noreturn]] void WriteToNullAddress();

}  // namespace platform
