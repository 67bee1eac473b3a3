// The crashing thread's registers as a minidump CONTEXT record, from the
// machine context the kernel saved for the signal. AMD64 only: on other
// processors there is no record (and so no dump). Async-signal-safe; pure.
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {
namespace minidump {

struct ThreadRegisters {
  uint64_t instructionPointer = 0;
  uint64_t stackPointer = 0;
};

// Fills record (at least kContextAmd64Bytes) from a ucontext_t; *size is the
// record's length. False on a processor this writer does not know.
bool BuildContextRecord(const void* machineContext, uint8_t* record, size_t capacity, size_t* size,
                        ThreadRegisters* registers);

// The access kind of a memory fault as the Windows exception parameters
// give it (0 read, 1 write, 8 execute); 0 when unknown.
uint64_t FaultAccessKind(const void* machineContext);

// PROCESSOR_ARCHITECTURE_* of this build.
uint16_t ProcessorArchitecture();

}  // namespace minidump
}  // namespace platform
