// The Windows minidump file layout: the record sizes, offsets and constants
// of the structures this program writes (MINIDUMP_HEADER and the streams
// named below). All numbers are little-endian; records are written field by
// field into byte buffers, so no compiler padding can creep in.
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {
namespace minidump {

constexpr uint32_t kSignature = 0x504D444D;  // "MDMP"
constexpr uint32_t kVersion = 0xA793;        // MINIDUMP_VERSION, low word of Version

// MINIDUMP_STREAM_TYPE values.
constexpr uint32_t kThreadListStream = 3;
constexpr uint32_t kModuleListStream = 4;
constexpr uint32_t kMemoryListStream = 5;
constexpr uint32_t kExceptionStream = 6;
constexpr uint32_t kSystemInfoStream = 7;

constexpr size_t kHeaderBytes = 32;            // MINIDUMP_HEADER
constexpr size_t kDirectoryEntryBytes = 12;    // MINIDUMP_DIRECTORY
constexpr size_t kSystemInfoBytes = 56;        // MINIDUMP_SYSTEM_INFO
constexpr size_t kExceptionStreamBytes = 168;  // MINIDUMP_EXCEPTION_STREAM
constexpr size_t kThreadBytes = 48;            // MINIDUMP_THREAD
constexpr size_t kMemoryDescriptorBytes = 16;  // MINIDUMP_MEMORY_DESCRIPTOR
constexpr size_t kModuleBytes = 108;           // MINIDUMP_MODULE

// MINIDUMP_SYSTEM_INFO values.
constexpr uint16_t kArchitectureAmd64 = 9;   // PROCESSOR_ARCHITECTURE_AMD64
constexpr uint16_t kArchitectureArm64 = 12;  // PROCESSOR_ARCHITECTURE_ARM64
constexpr uint8_t kProductWorkstation = 1;   // VER_NT_WORKSTATION
constexpr uint32_t kPlatformLinux = 0x8201;  // the platform id readers know Linux dumps by

// CONTEXT for AMD64.
constexpr size_t kContextAmd64Bytes = 1232;
constexpr uint32_t kContextAmd64 = 0x00100000;
// Control, integer, segment and floating-point registers are all present.
constexpr uint32_t kContextAmd64All = kContextAmd64 | 0x1 | 0x2 | 0x4 | 0x8;

namespace amd64 {
constexpr size_t kContextFlags = 0x30;
constexpr size_t kMxCsr = 0x34;
constexpr size_t kSegCs = 0x38;
constexpr size_t kSegDs = 0x3A;
constexpr size_t kSegEs = 0x3C;
constexpr size_t kSegFs = 0x3E;
constexpr size_t kSegGs = 0x40;
constexpr size_t kSegSs = 0x42;
constexpr size_t kEFlags = 0x44;
constexpr size_t kRax = 0x78;  // then Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi, R8..R15, 8 bytes apart
constexpr size_t kRsp = 0x98;
constexpr size_t kRip = 0xF8;
constexpr size_t kFloatSave = 0x100;  // XMM_SAVE_AREA32: the FXSAVE image, 512 bytes
constexpr size_t kFloatSaveBytes = 512;
}  // namespace amd64

// Little-endian stores into a record buffer.
inline void Put16(uint8_t* record, size_t offset, uint16_t value) {
  for (size_t i = 0; i < 2; ++i) record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void Put32(uint8_t* record, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void Put64(uint8_t* record, size_t offset, uint64_t value) {
  for (size_t i = 0; i < 8; ++i) record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace minidump
}  // namespace platform
