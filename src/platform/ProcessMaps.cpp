#include "platform/ProcessMaps.h"

#include <fcntl.h>

#include "platform/SignalSafeIo.h"

namespace platform {
namespace {

constexpr size_t kBufferBytes = 64 * 1024;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// A small cursor over one line.
struct Cursor {
  const char* at;
  const char* end;

  bool Hex(uint64_t* value) {
    if (at == end || !IsHexDigit(*at)) return false;
    *value = 0;
    while (at != end && IsHexDigit(*at))
      *value = *value * 16 + static_cast<uint64_t>(HexValue(*at++));
    return true;
  }
  bool Decimal(uint64_t* value) {
    if (at == end || *at < '0' || *at > '9') return false;
    *value = 0;
    while (at != end && *at >= '0' && *at <= '9')
      *value = *value * 10 + static_cast<uint64_t>(*at++ - '0');
    return true;
  }
  bool Skip(char c) {
    if (at == end || *at != c) return false;
    ++at;
    return true;
  }
  void SkipBlanks() {
    while (at != end && (*at == ' ' || *at == '\t')) ++at;
  }
  bool Word() {
    const char* begin = at;
    while (at != end && *at != ' ' && *at != '\t') ++at;
    return at != begin;
  }
};

struct FindState {
  uint64_t address;
  MappingLine* found;
  char* path;
  size_t pathCapacity;
  bool hit;
};

bool VisitForFind(const MappingLine& line, void* state) {
  auto* find = static_cast<FindState*>(state);
  if (find->address < line.start || find->address >= line.end) return true;
  *find->found = line;
  // The line's text goes away with the next read: keep the path.
  const size_t length =
      line.pathLength < find->pathCapacity - 1 ? line.pathLength : find->pathCapacity - 1;
  for (size_t i = 0; i < length; ++i) find->path[i] = line.path[i];
  find->path[length] = '\0';
  find->found->path = find->path;
  find->found->pathLength = length;
  find->hit = true;
  return false;
}

}  // namespace

bool ParseMappingLine(const char* text, size_t length, MappingLine* line) {
  Cursor cursor{text, text + length};
  uint64_t device = 0;
  if (!cursor.Hex(&line->start) || !cursor.Skip('-') || !cursor.Hex(&line->end)) return false;
  cursor.SkipBlanks();
  if (cursor.end - cursor.at < 4) return false;
  line->readable = cursor.at[0] == 'r';
  line->executable = cursor.at[2] == 'x';
  if (!cursor.Word()) return false;
  cursor.SkipBlanks();
  if (!cursor.Hex(&line->offset)) return false;
  cursor.SkipBlanks();
  if (!cursor.Hex(&device) || !cursor.Skip(':') || !cursor.Hex(&device)) return false;
  cursor.SkipBlanks();
  if (!cursor.Decimal(&line->inode)) return false;
  cursor.SkipBlanks();
  line->path = cursor.at;
  line->pathLength = static_cast<size_t>(cursor.end - cursor.at);
  return line->start < line->end;
}

bool ForEachMapping(MappingVisitor visit, void* state) {
  static char buffer[kBufferBytes];
  const int fd = signalsafe::Open("/proc/self/maps", O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  size_t filled = 0;
  bool more = true;
  bool ok = true;
  while (more) {
    const long got = signalsafe::Read(fd, buffer + filled, sizeof buffer - filled);
    if (got < 0) {
      ok = false;
      break;
    }
    filled += static_cast<size_t>(got);
    // A last line without its line end still counts.
    if (got == 0 && filled > 0 && buffer[filled - 1] != '\n') {
      if (filled == sizeof buffer) --filled;
      buffer[filled++] = '\n';
    }
    size_t lineStart = 0;
    for (size_t i = 0; i < filled && more; ++i) {
      if (buffer[i] != '\n') continue;
      MappingLine line;
      if (ParseMappingLine(buffer + lineStart, i - lineStart, &line)) more = visit(line, state);
      lineStart = i + 1;
    }
    if (got == 0) break;
    // A line longer than the buffer cannot be read whole: drop it.
    if (lineStart == 0 && filled == sizeof buffer) lineStart = filled;
    for (size_t i = lineStart; i < filled; ++i) buffer[i - lineStart] = buffer[i];
    filled -= lineStart;
  }
  signalsafe::Close(fd);
  return ok;
}

bool FindMapping(uint64_t address, MappingLine* found) {
  static char path[4096];
  FindState state{address, found, path, sizeof path, false};
  return ForEachMapping(VisitForFind, &state) && state.hit;
}

}  // namespace platform
