// Shared pieces of the archive writer's tests: a sandbox folder for sources
// and archives, the two independent readers (Python's zipfile and Info-ZIP's
// "unzip -t", run as child processes), and a small walker over the bytes of
// an archive for the header fields that the readers do not show.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"

namespace ziptest {

// One entry as Python's zipfile reads it.
struct PythonEntry {
  std::string name;  // UTF-8
  int compressType = -1;
  int flagBits = -1;
  int createSystem = -1;
  int createVersion = -1;
  int extractVersion = -1;
  std::vector<int> dateTime;  // year, month, day, hour, minute, second
  uint64_t fileSize = 0;
  uint64_t compressSize = 0;
  std::string md5;  // of the entry's data as extracted
};

struct PythonReading {
  bool ran = false;          // the reader ran and could open the archive
  std::string firstBadFile;  // testzip(): "" when every CRC checks
  std::vector<PythonEntry> entries;
};

// Reads archive with /usr/bin/python3's zipfile.
PythonReading ReadWithPython(const std::string& archive, const std::string& workFolder);
// Exit code of "/usr/bin/unzip -tq archive" (0: no errors).
int TestWithUnzip(const std::string& archive, const std::string& workFolder);

// The fields of one entry as its central and local headers hold them.
struct RawEntry {
  uint16_t versionMadeBy = 0;
  uint16_t centralVersionNeeded = 0, localVersionNeeded = 0;
  uint16_t centralFlags = 0, localFlags = 0;
  uint16_t centralMethod = 0, localMethod = 0;
  uint16_t centralTime = 0, centralDate = 0, localTime = 0, localDate = 0;
  uint32_t centralCrc = 0, localCrc = 0;
  uint32_t centralCompressed = 0, localCompressed = 0;
  uint32_t centralUncompressed = 0, localUncompressed = 0;
  uint32_t localHeaderOffset = 0;
  uint32_t dataOffset = 0;  // first byte after the local header
  std::string centralName, localName;
  std::string centralExtra, localExtra;
};

struct RawArchive {
  bool parsed = false;
  uint16_t entryCount = 0;
  uint32_t centralSize = 0, centralOffset = 0;
  std::vector<RawEntry> entries;
};

// Walks the end record and the central directory (an archive without a
// comment) and reads each entry's local header.
RawArchive ReadRaw(const std::string& bytes);

// True when the entries follow each other from the first byte with nothing
// between them (no data descriptor, no left-overs) and the central directory
// follows the last.
bool EntriesAreContiguous(const RawArchive& archive);

uint16_t Le16(const std::string& bytes, size_t at);
uint32_t Le32(const std::string& bytes, size_t at);

// Bytes that do not compress.
std::string RandomBytes(size_t size, uint32_t seed);
std::string Md5Of(const std::string& bytes);
// Names in the folder (no path).
std::vector<std::string> FolderListing(const std::string& folder);

class ZipTest : public ::testing::Test {
 protected:
  void SetUp() override;
  std::string Folder() const { return env_.Root() + "/zip"; }
  // Writes a source file under Folder()/sources and returns its path.
  std::string Source(const std::string& name, const std::string& bytes);
  std::string ArchivePath(const std::string& name = "archive.zip") const {
    return Folder() + "/out/" + name;
  }
  PythonReading Python(const std::string& archive) {
    return ReadWithPython(archive, env_.Root() + "/reader");
  }
  int Unzip(const std::string& archive) { return TestWithUnzip(archive, env_.Root() + "/reader"); }

  testing_support::TestEnvironment env_;
};

}  // namespace ziptest
