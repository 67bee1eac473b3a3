#include "platform/MiniDumpWriter.h"

#include <signal.h>

#include "platform/MiniDumpContext.h"
#include "platform/MiniDumpFile.h"
#include "platform/MiniDumpFormat.h"
#include "platform/MiniDumpModules.h"
#include "platform/MiniDumpSystemInfo.h"
#include "platform/ProcessMaps.h"
#include "platform/SignalSafeIo.h"

namespace platform {

using namespace minidump;

namespace {

constexpr size_t kStreamCount = 5;
constexpr uint64_t kRedZoneBytes = 128;
constexpr uint64_t kMaxStackBytes = 1024 * 1024;
constexpr uint64_t kCodeBytesAround = 256;

struct MemoryRange {
  uint64_t start = 0;
  Location location;
};

struct Directory {
  uint8_t bytes[kStreamCount * kDirectoryEntryBytes] = {};
  size_t count = 0;
  void Add(uint32_t type, const Location& location) {
    Put32(bytes, count * kDirectoryEntryBytes, type);
    PutLocation(bytes, count * kDirectoryEntryBytes + 4, location);
    ++count;
  }
};

// Bytes of the readable mapping that holds address, from `from` up to `to`
// (both clipped to that mapping).
MemoryRange AppendMemory(MiniDumpFile* file, uint64_t address, uint64_t from, uint64_t to) {
  MemoryRange range;
  MappingLine mapping;
  if (!FindMapping(address, &mapping) || !mapping.readable) return range;
  if (from < mapping.start) from = mapping.start;
  if (to > mapping.end) to = mapping.end;
  if (from >= to) return range;
  range.start = from;
  range.location = file->Append(reinterpret_cast<const void*>(from), to - from);
  return range;
}

MemoryRange AppendStack(MiniDumpFile* file, uint64_t stackPointer) {
  const uint64_t from = stackPointer > kRedZoneBytes ? stackPointer - kRedZoneBytes : 0;
  return AppendMemory(file, stackPointer, from, from + kMaxStackBytes);
}

MemoryRange AppendCode(MiniDumpFile* file, uint64_t instructionPointer) {
  const uint64_t from =
      instructionPointer > kCodeBytesAround ? instructionPointer - kCodeBytesAround : 0;
  return AppendMemory(file, instructionPointer, from, instructionPointer + kCodeBytesAround);
}

Location AppendSystemInfo(MiniDumpFile* file) {
  uint8_t record[kSystemInfoBytes];
  const char* csd = CopySystemInfo(record);
  const Location text = file->AppendString(csd, signalsafe::Length(csd));
  Put32(record, kCsdVersionRvaOffset, text.rva);
  return file->Append(record, sizeof record);
}

Location AppendException(MiniDumpFile* file, const CrashContext& crash, const Location& context) {
  uint8_t record[kExceptionStreamBytes] = {};
  Put32(record, 0, static_cast<uint32_t>(crash.threadId));
  Put32(record, 8, static_cast<uint32_t>(crash.signalNumber));
  Put32(record, 12, static_cast<uint32_t>(crash.signalCode));
  Put64(record, 24, crash.faultAddress);
  // Windows tells of an access violation whether it read, wrote or executed,
  // and where; a fault sent by another process (si_code <= 0) has no address.
  const bool memoryFault =
      (crash.signalNumber == SIGSEGV || crash.signalNumber == SIGBUS) && crash.signalCode > 0;
  if (memoryFault) {
    Put32(record, 32, 2);
    Put64(record, 40, FaultAccessKind(crash.machineContext));
    Put64(record, 48, crash.faultAddress);
  }
  PutLocation(record, 160, context);
  return file->Append(record, sizeof record);
}

Location AppendThreadList(MiniDumpFile* file, const CrashContext& crash, const MemoryRange& stack,
                          const Location& context) {
  uint8_t record[4 + kThreadBytes] = {};
  Put32(record, 0, 1);
  uint8_t* thread = record + 4;
  Put32(thread, 0, static_cast<uint32_t>(crash.threadId));
  Put64(thread, 16, crash.threadHandle);
  Put64(thread, 24, stack.start);
  PutLocation(thread, 32, stack.location);
  PutLocation(thread, 40, context);
  return file->Append(record, sizeof record);
}

Location AppendMemoryList(MiniDumpFile* file, const MemoryRange* ranges, size_t count) {
  uint8_t record[4 + 2 * kMemoryDescriptorBytes] = {};
  uint32_t listed = 0;
  for (size_t i = 0; i < count && listed < 2; ++i) {
    if (ranges[i].location.dataSize == 0) continue;
    uint8_t* descriptor = record + 4 + listed * kMemoryDescriptorBytes;
    Put64(descriptor, 0, ranges[i].start);
    PutLocation(descriptor, 8, ranges[i].location);
    ++listed;
  }
  Put32(record, 0, listed);
  return file->Append(record, 4 + listed * kMemoryDescriptorBytes);
}

bool WriteHeader(MiniDumpFile* file, const Directory& directory) {
  int64_t seconds = 0;
  long nanoseconds = 0;
  signalsafe::RealTime(&seconds, &nanoseconds);
  uint8_t header[kHeaderBytes] = {};
  Put32(header, 0, kSignature);
  Put32(header, 4, kVersion);
  Put32(header, 8, static_cast<uint32_t>(directory.count));
  Put32(header, 12, kHeaderBytes);
  Put32(header, 20, static_cast<uint32_t>(seconds));
  // Flags 0: MiniDumpNormal.
  return file->WriteAt(kHeaderBytes, directory.bytes, directory.count * kDirectoryEntryBytes) &&
         file->WriteAt(0, header, sizeof header);
}

}  // namespace

void PrepareMiniDumpWriter() { PrepareSystemInfo(); }

bool WriteMiniDump(int fd, const CrashContext& crash) {
  static uint8_t context[kContextAmd64Bytes];
  size_t contextBytes = 0;
  ThreadRegisters registers;
  if (!BuildContextRecord(crash.machineContext, context, sizeof context, &contextBytes,
                          &registers)) {
    return false;
  }
  MiniDumpFile file(fd, kHeaderBytes + kStreamCount * kDirectoryEntryBytes);
  Directory directory;
  directory.Add(kSystemInfoStream, AppendSystemInfo(&file));
  const Location contextLocation = file.Append(context, contextBytes);
  directory.Add(kExceptionStream, AppendException(&file, crash, contextLocation));
  const MemoryRange ranges[] = {AppendStack(&file, registers.stackPointer),
                                AppendCode(&file, registers.instructionPointer)};
  directory.Add(kThreadListStream, AppendThreadList(&file, crash, ranges[0], contextLocation));
  directory.Add(kMemoryListStream, AppendMemoryList(&file, ranges, 2));
  directory.Add(kModuleListStream, AppendModuleList(&file));
  return !file.Failed() && WriteHeader(&file, directory);
}

}  // namespace platform
