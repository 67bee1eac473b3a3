#include "platform/MiniDumpContext.h"

#include <ucontext.h>

#include "platform/MiniDumpFormat.h"

namespace platform {
namespace minidump {

#if defined(__x86_64__)

bool BuildContextRecord(const void* machineContext, uint8_t* record, size_t capacity, size_t* size,
                        ThreadRegisters* registers) {
  if (machineContext == nullptr || capacity < kContextAmd64Bytes) return false;
  const auto* context = static_cast<const ucontext_t*>(machineContext);
  const greg_t* g = context->uc_mcontext.gregs;
  for (size_t i = 0; i < kContextAmd64Bytes; ++i) record[i] = 0;
  Put32(record, amd64::kContextFlags, kContextAmd64All);
  // CSGSFS holds cs, gs, fs and (on kernels that save it) ss, 16 bits each.
  const uint64_t segments = static_cast<uint64_t>(g[REG_CSGSFS]);
  Put16(record, amd64::kSegCs, static_cast<uint16_t>(segments));
  Put16(record, amd64::kSegGs, static_cast<uint16_t>(segments >> 16));
  Put16(record, amd64::kSegFs, static_cast<uint16_t>(segments >> 32));
  Put16(record, amd64::kSegSs, static_cast<uint16_t>(segments >> 48));
  Put32(record, amd64::kEFlags, static_cast<uint32_t>(g[REG_EFL]));
  // In CONTEXT order: Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi, R8..R15.
  const int order[] = {REG_RAX, REG_RCX, REG_RDX, REG_RBX, REG_RSP, REG_RBP, REG_RSI, REG_RDI,
                       REG_R8,  REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};
  for (size_t i = 0; i < sizeof order / sizeof order[0]; ++i)
    Put64(record, amd64::kRax + 8 * i, static_cast<uint64_t>(g[order[i]]));
  Put64(record, amd64::kRip, static_cast<uint64_t>(g[REG_RIP]));
  if (context->uc_mcontext.fpregs != nullptr) {
    // The kernel saves the FXSAVE image, which is what XMM_SAVE_AREA32 is.
    const auto* image = reinterpret_cast<const uint8_t*>(context->uc_mcontext.fpregs);
    for (size_t i = 0; i < amd64::kFloatSaveBytes; ++i) record[amd64::kFloatSave + i] = image[i];
    Put32(record, amd64::kMxCsr, context->uc_mcontext.fpregs->mxcsr);
  }
  *size = kContextAmd64Bytes;
  registers->instructionPointer = static_cast<uint64_t>(g[REG_RIP]);
  registers->stackPointer = static_cast<uint64_t>(g[REG_RSP]);
  return true;
}

uint64_t FaultAccessKind(const void* machineContext) {
  if (machineContext == nullptr) return 0;
  const auto* context = static_cast<const ucontext_t*>(machineContext);
  // The page-fault error code: bit 1 a write, bit 4 an instruction fetch.
  const uint64_t error = static_cast<uint64_t>(context->uc_mcontext.gregs[REG_ERR]);
  if (error & 0x10) return 8;
  return (error & 0x2) ? 1 : 0;
}

uint16_t ProcessorArchitecture() { return kArchitectureAmd64; }

#else

bool BuildContextRecord(const void*, uint8_t*, size_t, size_t*, ThreadRegisters*) { return false; }

uint64_t FaultAccessKind(const void*) { return 0; }

#if defined(__aarch64__)
uint16_t ProcessorArchitecture() { return kArchitectureArm64; }
#else
uint16_t ProcessorArchitecture() { return 0xFFFF; }  // PROCESSOR_ARCHITECTURE_UNKNOWN
#endif

#endif

}  // namespace minidump
}  // namespace platform
