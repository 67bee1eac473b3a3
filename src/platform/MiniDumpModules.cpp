#include "platform/MiniDumpModules.h"

#include "platform/MiniDumpFormat.h"
#include "platform/ProcessMaps.h"

namespace platform {
namespace minidump {
namespace {

constexpr size_t kMaxModules = 2048;
constexpr size_t kPathPoolBytes = 512 * 1024;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedFileInfoVersion = 0x00010000;

struct Module {
  uint64_t base;
  uint64_t end;
  uint64_t inode;
  size_t pathOffset;
  size_t pathLength;
  bool executable;  // code is mapped from it: a loaded image, not a data file
  Location name;
};

struct ModuleTable {
  Module modules[kMaxModules];
  size_t count;
  char paths[kPathPoolBytes];
  size_t pathsUsed;
};

ModuleTable g_table;

bool SamePath(const ModuleTable& table, const Module& module, const MappingLine& line) {
  if (module.pathLength != line.pathLength) return false;
  for (size_t i = 0; i < line.pathLength; ++i) {
    if (table.paths[module.pathOffset + i] != line.path[i]) return false;
  }
  return true;
}

bool IsModulePath(const MappingLine& line) {
  if (line.pathLength == 0) return false;
  if (line.path[0] == '/') return true;
  const char vdso[] = "[vdso]";
  if (line.pathLength != sizeof vdso - 1) return false;
  for (size_t i = 0; i < line.pathLength; ++i) {
    if (line.path[i] != vdso[i]) return false;
  }
  return true;
}

bool CollectModule(const MappingLine& line, void* state) {
  auto* table = static_cast<ModuleTable*>(state);
  if (!IsModulePath(line)) return true;
  // A file's later segments (possibly after an anonymous gap) extend it.
  if (table->count > 0) {
    Module& last = table->modules[table->count - 1];
    if (last.inode == line.inode && line.start >= last.end && SamePath(*table, last, line)) {
      last.end = line.end;
      last.executable = last.executable || line.executable;
      return true;
    }
  }
  if (table->count == kMaxModules || table->pathsUsed + line.pathLength > kPathPoolBytes)
    return true;
  Module& module = table->modules[table->count++];
  module.base = line.start;
  module.end = line.end;
  module.inode = line.inode;
  module.pathOffset = table->pathsUsed;
  module.pathLength = line.pathLength;
  module.executable = line.executable;
  module.name = Location();
  for (size_t i = 0; i < line.pathLength; ++i) table->paths[table->pathsUsed++] = line.path[i];
  return true;
}

void PutModule(uint8_t* record, const Module& module) {
  for (size_t i = 0; i < kModuleBytes; ++i) record[i] = 0;
  Put64(record, 0, module.base);
  const uint64_t size = module.end - module.base;
  Put32(record, 8, size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size));
  Put32(record, 20, module.name.rva);
  Put32(record, 24, kFixedFileInfoSignature);
  Put32(record, 28, kFixedFileInfoVersion);
}

}  // namespace

Location AppendModuleList(MiniDumpFile* file) {
  g_table.count = 0;
  g_table.pathsUsed = 0;
  if (!ForEachMapping(CollectModule, &g_table)) return Location();
  // Mapped data files (fonts, shared memory, caches) are not modules.
  size_t listed = 0;
  for (size_t i = 0; i < g_table.count; ++i) {
    if (g_table.modules[i].executable) g_table.modules[listed++] = g_table.modules[i];
  }
  g_table.count = listed;
  for (size_t i = 0; i < g_table.count; ++i) {
    Module& module = g_table.modules[i];
    module.name = file->AppendString(g_table.paths + module.pathOffset, module.pathLength);
  }
  // The count, then one record per module, written piece by piece.
  const Location list = file->Reserve(4 + g_table.count * kModuleBytes);
  uint8_t count[4];
  Put32(count, 0, static_cast<uint32_t>(g_table.count));
  file->WriteAt(list.rva, count, sizeof count);
  for (size_t i = 0; i < g_table.count; ++i) {
    uint8_t record[kModuleBytes];
    PutModule(record, g_table.modules[i]);
    file->WriteAt(static_cast<uint32_t>(list.rva + 4 + i * kModuleBytes), record, sizeof record);
  }
  return file->Failed() ? Location() : list;
}

}  // namespace minidump
}  // namespace platform
