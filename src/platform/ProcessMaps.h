// Reading /proc/self/maps from inside a crash signal handler: one line at a
// time through a fixed buffer, without allocation. Async-signal-safe; one
// caller at a time (the buffer is static; the crash handler lets one thread in).
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {

struct MappingLine {
  uint64_t start = 0;
  uint64_t end = 0;  // one past the last byte
  bool readable = false;
  bool executable = false;
  uint64_t offset = 0;  // in the mapped file
  uint64_t inode = 0;
  const char* path = "";  // file path, "[stack]", "[vdso]"... or "" (anonymous)
  size_t pathLength = 0;
};

// Calls visit for every mapping in address order until it returns false.
// False when the maps could not be read.
using MappingVisitor = bool (*)(const MappingLine& line, void* state);
bool ForEachMapping(MappingVisitor visit, void* state);

// Parses one line of the maps format ("start-end perms offset dev inode
// path"). Pure; exposed for tests. The path points into text.
bool ParseMappingLine(const char* text, size_t length, MappingLine* line);

// The mapping that holds address; false when none does.
bool FindMapping(uint64_t address, MappingLine* found);

}  // namespace platform
