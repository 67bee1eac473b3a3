// The pieces of the dump writer that work on plain data: the maps lines it
// takes modules and stacks from, the UTF-16 of module names, the clock of the
// handler's log lines and dump names, and a writer that cannot write.
#include <gtest/gtest.h>
#include <ucontext.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/CrashHandler.h"
#include "platform/MiniDumpFile.h"
#include "platform/MiniDumpWriter.h"
#include "platform/ProcessMaps.h"
#include "platform/SignalSafeIo.h"
#include "platform/SignalSafeTime.h"

namespace {

TEST(MapsLine, FieldsOfEachKindOfLine) {
  struct Case {
    const char* line;
    bool parses;
    uint64_t start, end;
    bool readable, executable;
    uint64_t offset, inode;
    const char* path;
  } cases[] = {
      {"5581a000-5581b000 r-xp 00001000 08:01 1234 /opt/prog/vornik setup", true, 0x5581a000,
       0x5581b000, true, true, 0x1000, 1234, "/opt/prog/vornik setup"},
      {"7ffd1000-7ffd2000 rw-p 00000000 00:00 0                          [stack]", true, 0x7ffd1000,
       0x7ffd2000, true, false, 0, 0, "[stack]"},
      {"7f0000000000-7f0000001000 ---p 00000000 00:00 0", true, 0x7f0000000000, 0x7f0000001000,
       false, false, 0, 0, ""},
      {"7f01-7f02 r--s 00000000 00:05 98 /SYSV00000000 (deleted)", true, 0x7f01, 0x7f02, true,
       false, 0, 98, "/SYSV00000000 (deleted)"},
      {"2000-1000 r-xp 00000000 08:01 1 /x", false, 0, 0, false, false, 0, 0, ""},
      {"garbage", false, 0, 0, false, false, 0, 0, ""},
      {"1000-2000 r-xp", false, 0, 0, false, false, 0, 0, ""},
  };
  for (const Case& c : cases) {
    platform::MappingLine line;
    ASSERT_EQ(platform::ParseMappingLine(c.line, std::strlen(c.line), &line), c.parses) << c.line;
    if (!c.parses) continue;
    EXPECT_EQ(line.start, c.start) << c.line;
    EXPECT_EQ(line.end, c.end) << c.line;
    EXPECT_EQ(line.readable, c.readable) << c.line;
    EXPECT_EQ(line.executable, c.executable) << c.line;
    EXPECT_EQ(line.offset, c.offset) << c.line;
    EXPECT_EQ(line.inode, c.inode) << c.line;
    EXPECT_EQ(std::string(line.path, line.pathLength), c.path) << c.line;
  }
}

TEST(MapsLine, TheMappingOfThisCodeIsFoundAndExecutable) {
  platform::MappingLine line;
  ASSERT_TRUE(platform::FindMapping(reinterpret_cast<uint64_t>(&platform::FindMapping), &line));
  EXPECT_TRUE(line.executable);
  EXPECT_EQ(line.path[0], '/');
}

TEST(ModuleNames, Utf8BecomesUtf16) {
  struct Case {
    const char* utf8;
    std::vector<uint16_t> utf16;
  } cases[] = {
      {"/a", {'/', 'a'}},
      {"\xC3\xA9", {0xE9}},                    // é
      {"\xE6\x97\xA5", {0x65E5}},              // 日
      {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},  // beyond the basic plane: a surrogate pair
      {"\xFFx", {0xFFFD, 'x'}},                // not UTF-8
      {"\xC0\xAF", {0xFFFD}},                  // an overlong "/" is not a "/"
      {"\xE6\x97", {0xFFFD, 0xFFFD}},          // cut short
      {"\xED\xA0\x80", {0xFFFD}},              // an encoded surrogate
  };
  for (const Case& c : cases) {
    uint16_t out[8];
    const size_t count = platform::minidump::Utf8ToUtf16(c.utf8, std::strlen(c.utf8), out, 8);
    EXPECT_EQ(std::vector<uint16_t>(out, out + count), c.utf16) << c.utf8;
  }
  uint16_t small[1];
  EXPECT_EQ(platform::minidump::Utf8ToUtf16("\xF0\x9F\x98\x80", 4, small, 1), 0u)
      << "half a surrogate pair is not written";
}

TEST(HandlerClock, CivilTimeOfSeconds) {
  struct Case {
    int64_t seconds;
    int year, month, day, hour, minute, second;
  } cases[] = {
      {0, 1970, 1, 1, 0, 0, 0},
      {951782400, 2000, 2, 29, 0, 0, 0},      // leap day of a year divisible by 400
      {4107542399, 2100, 2, 28, 23, 59, 59},  // 2100 has no leap day
      {4107542400, 2100, 3, 1, 0, 0, 0},
      {1798761599, 2026, 12, 31, 23, 59, 59},
      {-1, 1969, 12, 31, 23, 59, 59},
  };
  for (const Case& c : cases) {
    const platform::SystemTime t = platform::CivilTimeOfSeconds(c.seconds, 7);
    EXPECT_EQ(
        std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second, t.milliseconds}),
        std::vector<int>({c.year, c.month, c.day, c.hour, c.minute, c.second, 7}))
        << c.seconds;
  }
}

TEST(HandlerText, FormatsIntoAFixedBufferWithoutOverflow) {
  char buffer[12];
  platform::signalsafe::Text text(buffer, sizeof buffer);
  text.AppendPadded(7, 3).Append(",").AppendDecimal(-42).Append(",").AppendDecimal(INT64_MIN);
  EXPECT_STREQ(text.Get(), "007,-42,-92");
  EXPECT_TRUE(text.Truncated());
}

TEST(MiniDumpWriter, ADescriptorThatCannotBeWrittenFails) {
  platform::PrepareMiniDumpWriter();
  ucontext_t machine;
  ASSERT_EQ(getcontext(&machine), 0);
  platform::CrashContext crash;
  crash.signalNumber = 11;
  crash.machineContext = &machine;
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  // The read end of a pipe takes no writes (and a pipe takes no offsets).
  EXPECT_FALSE(platform::WriteMiniDump(pipeEnds[0], crash));
  close(pipeEnds[0]);
  close(pipeEnds[1]);
}

}  // namespace
