// The archive writer checked by readers that share none of its code:
// Python's zipfile and "unzip -t" for the whole archive, a byte walker for
// the header fields that matter to those who read the archive later.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "ZipTestSupport.h"
#include "platform/Encoding.h"
#include "zip/ZipArchiveWriter.h"

namespace ziptest {
namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;

std::string LogText(size_t lines, int seed) {
  std::string text;
  for (size_t i = 0; i < lines; ++i) {
    text += "2024-05-0" + std::to_string(seed % 9 + 1) + " 12:00:00--[Thread](42) line " +
            std::to_string(i) + " of the run\n";
  }
  return text;
}

struct NamedEntry {
  const wchar_t* name;     // as the caller gives it
  const char* storedName;  // as the archive must hold it
  bool stored;             // kept without compression
};

constexpr NamedEntry kNamedEntries[] = {
    {L"run.log", "run.log", false},
    {L"README", "README", false},  // no "." at all
    {L"crash.dmp", "crash.dmp", false},
    {L"logs.tar.gz", "logs.tar.gz", true},
    {L"dump.GZ", "dump.GZ", true},
    {L"a.zip", "a.zip", true},
    {L"B.ZIP", "B.ZIP", true},
    {L"c.Zip", "c.Zip", true},
    {L"d.Z", "d.Z", true},
    {L"e.z", "e.z", true},
    {L"f.zoo", "f.zoo", true},
    {L"g.ARC", "g.ARC", true},
    {L"h.lzh", "h.lzh", true},
    {L"i.arj", "i.arj", true},
    {L"j.tgz", "j.tgz", true},
    {L"k.zip.log", "k.zip.log", false},
    {L"l.zipx", "l.zipx", false},
    {L"trailing.", "trailing.", false},
    {L"dir.zip\\inner", "dir.zip/inner", false},  // the last "." is in a folder name
    {L"logs\\old\\run.gz", "logs/old/run.gz", true},
    {L"\u043b\u043e\u0433\\\u0441\u0431\u043e\u0439.log",
     "\xd0\xbb\xd0\xbe\xd0\xb3/\xd1\x81\xd0\xb1\xd0\xbe\xd0\xb9.log", false},
};

TEST_F(ZipTest, EntriesAreStoredOrDeflatedByTheirNameAndNamedWithSlashes) {
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  std::vector<std::string> contents;
  for (size_t i = 0; i < std::size(kNamedEntries); ++i) {
    contents.push_back(LogText(200, static_cast<int>(i)));
    const std::string source = Source("source" + std::to_string(i), contents.back());
    EXPECT_TRUE(writer->AddFile(kNamedEntries[i].name, FromUtf8(source))) << i;
  }
  ASSERT_TRUE(writer->Close());

  EXPECT_EQ(Unzip(ArchivePath()), 0);
  const PythonReading reading = Python(ArchivePath());
  ASSERT_TRUE(reading.ran);
  EXPECT_EQ(reading.firstBadFile, "");
  ASSERT_EQ(reading.entries.size(), std::size(kNamedEntries));
  for (size_t i = 0; i < reading.entries.size(); ++i) {
    const PythonEntry& entry = reading.entries[i];
    SCOPED_TRACE(kNamedEntries[i].storedName);
    EXPECT_EQ(entry.name, kNamedEntries[i].storedName);
    EXPECT_EQ(entry.compressType, kNamedEntries[i].stored ? 0 : 8);
    EXPECT_EQ(entry.fileSize, contents[i].size());
    if (kNamedEntries[i].stored) {
      EXPECT_EQ(entry.compressSize, contents[i].size());
    } else {
      EXPECT_LT(entry.compressSize, contents[i].size() / 4);
    }
    EXPECT_EQ(entry.md5, Md5Of(contents[i]));
  }
}

TEST_F(ZipTest, EmptyAndMultiBlockSourcesSurviveBothReaders) {
  struct Case {
    std::string name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"empty.log", ""},
      {"empty.zip", ""},
      {"one.log", "x"},
      {"noise.bin", RandomBytes((3 << 20) + 123, 7)},  // deflate gains nothing
      {"noise.gz", RandomBytes((1 << 20) + 4097, 8)},  // stored
      {"long.log", LogText(120000, 3)},                // several MiB that compress well
  };
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  for (const Case& c : cases) {
    EXPECT_TRUE(writer->AddFile(FromUtf8(c.name), FromUtf8(Source(c.name, c.bytes)))) << c.name;
  }
  ASSERT_TRUE(writer->Close());

  EXPECT_EQ(Unzip(ArchivePath()), 0);
  const PythonReading reading = Python(ArchivePath());
  ASSERT_TRUE(reading.ran);
  EXPECT_EQ(reading.firstBadFile, "");
  ASSERT_EQ(reading.entries.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(reading.entries[i].name, cases[i].name);
    EXPECT_EQ(reading.entries[i].fileSize, cases[i].bytes.size());
    EXPECT_EQ(reading.entries[i].md5, Md5Of(cases[i].bytes));
  }
}

// Seconds since 1970 of a source's times, set by the test.
constexpr int64_t kModified = 1700000001;  // an odd second: DOS keeps 1700000000
constexpr int64_t kAccessed = 1600000000;

void SetTimes(const std::string& path) {
  const timeval times[2] = {{kAccessed, 0}, {kModified, 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0);
}

int64_t ChangeTime(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0);
  return status.st_ctime;
}

TEST_F(ZipTest, HeadersCarryTheFixedFieldsTheTimesAndTheRewrittenSizes) {
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"run.log", LogText(3000, 1)}, {"old.zip", RandomBytes(70000, 2)}, {"empty.log", ""}};
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  std::vector<int64_t> changed;
  for (const auto& [name, bytes] : sources) {
    const std::string path = Source(name, bytes);
    SetTimes(path);
    changed.push_back(ChangeTime(path));
    ASSERT_TRUE(writer->AddFile(FromUtf8(name), FromUtf8(path)));
  }
  ASSERT_TRUE(writer->Close());

  const std::string bytes = testing_support::ReadFile(ArchivePath());
  const RawArchive raw = ReadRaw(bytes);
  ASSERT_TRUE(raw.parsed);
  ASSERT_EQ(raw.entries.size(), sources.size());
  time_t modified = kModified;
  tm local{};
  localtime_r(&modified, &local);
  const uint16_t dosDate =
      static_cast<uint16_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
  const uint16_t dosTime =
      static_cast<uint16_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  EXPECT_TRUE(EntriesAreContiguous(raw));
  for (size_t i = 0; i < raw.entries.size(); ++i) {
    const RawEntry& entry = raw.entries[i];
    SCOPED_TRACE(sources[i].first);
    EXPECT_EQ(entry.versionMadeBy, 0x0B17);
    EXPECT_EQ(entry.centralVersionNeeded, 20);
    EXPECT_EQ(entry.localVersionNeeded, 20);
    EXPECT_EQ(entry.centralFlags, 0);
    EXPECT_EQ(entry.localFlags, 0);
    EXPECT_EQ(entry.localMethod, entry.centralMethod);
    EXPECT_EQ(entry.localCrc, entry.centralCrc);
    EXPECT_EQ(entry.localCompressed, entry.centralCompressed);
    EXPECT_EQ(entry.localUncompressed, entry.centralUncompressed);
    EXPECT_EQ(entry.centralUncompressed, sources[i].second.size());
    EXPECT_EQ(entry.localName, sources[i].first);
    EXPECT_EQ(entry.centralName, sources[i].first);
    EXPECT_EQ(entry.centralDate, dosDate);
    EXPECT_EQ(entry.centralTime, dosTime);
    EXPECT_EQ(entry.localDate, dosDate);
    EXPECT_EQ(entry.localTime, dosTime);

    ASSERT_EQ(entry.localExtra.size(), 17u);
    EXPECT_EQ(Le16(entry.localExtra, 0), 0x5455);
    EXPECT_EQ(Le16(entry.localExtra, 2), 13);
    EXPECT_EQ(entry.localExtra[4], 7);
    EXPECT_EQ(Le32(entry.localExtra, 5), kModified);
    EXPECT_EQ(Le32(entry.localExtra, 9), kAccessed);
    EXPECT_EQ(Le32(entry.localExtra, 13), changed[i]);
    ASSERT_EQ(entry.centralExtra.size(), 9u);
    EXPECT_EQ(Le16(entry.centralExtra, 0), 0x5455);
    EXPECT_EQ(Le16(entry.centralExtra, 2), 5);
    EXPECT_EQ(entry.centralExtra[4], 7);
    EXPECT_EQ(Le32(entry.centralExtra, 5), kModified);
  }
  EXPECT_EQ(raw.entryCount, sources.size());

  const PythonReading reading = Python(ArchivePath());
  ASSERT_EQ(reading.entries.size(), sources.size());
  EXPECT_EQ(reading.entries[0].createSystem, 11);  // NTFS
  EXPECT_EQ(reading.entries[0].createVersion, 0x17);
  EXPECT_EQ(reading.entries[0].extractVersion, 20);
  EXPECT_EQ(reading.entries[0].flagBits, 0);
  EXPECT_EQ(reading.entries[0].dateTime,
            (std::vector<int>{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                              local.tm_min, local.tm_sec / 2 * 2}));
}

TEST_F(ZipTest, SourcesThatCannotBeReadAreLeftOut) {
  const std::string first = LogText(10, 1);
  const std::string last = LogText(10, 2);
  fs::create_directories(Folder() + "/sources/folder.log");
  const std::string fifo = Folder() + "/sources/pipe.log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // opening it would wait for a writer for ever
  struct Add {
    std::wstring name;
    std::string source;
    bool added;
  };
  const std::vector<Add> adds = {
      {L"first.log", Source("first.log", first), true},
      {L"missing.log", Folder() + "/sources/missing.log", false},
      {L"folder.log", Folder() + "/sources/folder.log", false},
      {L"pipe.log", fifo, false},
      {L"", Source("unnamed.log", first), false},
      {L"last.log", Source("last.log", last), true},
  };
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  for (const Add& add : adds) {
    EXPECT_EQ(writer->AddFile(add.name, FromUtf8(add.source)), add.added) << add.source;
  }
  ASSERT_TRUE(writer->Close());

  EXPECT_EQ(Unzip(ArchivePath()), 0);
  const PythonReading reading = Python(ArchivePath());
  ASSERT_EQ(reading.entries.size(), 2u);
  EXPECT_EQ(reading.entries[0].name, "first.log");
  EXPECT_EQ(reading.entries[0].md5, Md5Of(first));
  EXPECT_EQ(reading.entries[1].name, "last.log");
  EXPECT_EQ(reading.entries[1].md5, Md5Of(last));
}

TEST_F(ZipTest, NamesAreLimitedTo259Utf8Bytes) {
  std::wstring twoByteName;  // 129 two-byte characters and ".x": 260 bytes
  for (int i = 0; i < 129; ++i) twoByteName += L'\u00e9';
  const struct {
    std::wstring name;
    bool added;
  } names[] = {
      {std::wstring(255, L'a') + L".log", true},   // 259 bytes
      {std::wstring(256, L'b') + L".log", false},  // 260 bytes
      {twoByteName + L".x", false},                // 260 bytes in 131 characters
      {twoByteName.substr(1) + L".xy", true},      // 259 bytes
  };
  const std::string source = Source("run.log", "text");
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  for (const auto& entry : names) {
    EXPECT_EQ(writer->AddFile(entry.name, FromUtf8(source)), entry.added)
        << platform::ToUtf8(entry.name).size();
  }
  ASSERT_TRUE(writer->Close());
  const PythonReading reading = Python(ArchivePath());
  ASSERT_EQ(reading.entries.size(), 2u);
  EXPECT_EQ(reading.entries[0].name, std::string(255, 'a') + ".log");
  EXPECT_EQ(reading.entries[1].name, platform::ToUtf8(twoByteName.substr(1) + L".xy"));
}

TEST_F(ZipTest, ThePathHoldsTheOldFileUntilCloseAndThenTheWholeArchive) {
  testing_support::WriteFile(ArchivePath(), "previous archive");
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  ASSERT_TRUE(writer->AddFile(L"run.log", FromUtf8(Source("run.log", LogText(50, 1)))));
  EXPECT_EQ(testing_support::ReadFile(ArchivePath()), "previous archive");
  EXPECT_EQ(FolderListing(Folder() + "/out").size(), 2u);  // the archive and its temporary

  ASSERT_TRUE(writer->Close());
  EXPECT_EQ(FolderListing(Folder() + "/out"), std::vector<std::string>{"archive.zip"});
  EXPECT_EQ(Unzip(ArchivePath()), 0);
  EXPECT_FALSE(writer->Close());
  EXPECT_FALSE(writer->AddFile(L"late.log", FromUtf8(Source("late.log", "late"))));
}

TEST_F(ZipTest, AnArchiveThatIsNeverClosedLeavesNothing) {
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  ASSERT_TRUE(writer->AddFile(L"run.log", FromUtf8(Source("run.log", LogText(50, 1)))));
  writer.reset();
  EXPECT_TRUE(FolderListing(Folder() + "/out").empty());
}

TEST_F(ZipTest, OpenGivesNoWriterWhereNoFileCanBeMade) {
  fs::create_directories(ArchivePath("folder.zip"));
  EXPECT_EQ(ZipArchiveWriter::Open(FromUtf8(Folder() + "/missing/archive.zip")), nullptr);
  EXPECT_EQ(ZipArchiveWriter::Open(FromUtf8(ArchivePath("folder.zip"))), nullptr);
  EXPECT_EQ(ZipArchiveWriter::Open(L""), nullptr);
  EXPECT_EQ(FolderListing(Folder() + "/out"), std::vector<std::string>{"folder.zip"});
}

TEST_F(ZipTest, EntriesThatWouldPassTheSizeLimitAreRefusedWithoutTrace) {
  constexpr uint64_t kLimit = 200000;
  const std::string small = LogText(20, 1);
  const std::string zeros(150000, '\0');  // compresses to almost nothing
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  writer->SetSizeLimitForTesting(kLimit);
  EXPECT_TRUE(writer->AddFile(L"small.log", FromUtf8(Source("small.log", small))));
  // Stored: refused before a byte is written. Deflated noise: refused once
  // its data passes the limit, and cut off again.
  EXPECT_FALSE(
      writer->AddFile(L"big.gz", FromUtf8(Source("big.gz", RandomBytes(kLimit - 100, 3)))));
  EXPECT_FALSE(
      writer->AddFile(L"big.bin", FromUtf8(Source("big.bin", RandomBytes(kLimit - 100, 4)))));
  EXPECT_FALSE(
      writer->AddFile(L"huge.log", FromUtf8(Source("huge.log", std::string(kLimit, 'a')))));
  EXPECT_TRUE(writer->AddFile(L"zeros.log", FromUtf8(Source("zeros.log", zeros))));
  ASSERT_TRUE(writer->Close());

  // Nothing of the refused entries is left between the others.
  EXPECT_TRUE(EntriesAreContiguous(ReadRaw(testing_support::ReadFile(ArchivePath()))));
  EXPECT_LT(fs::file_size(ArchivePath()), kLimit);
  EXPECT_EQ(Unzip(ArchivePath()), 0);
  const PythonReading reading = Python(ArchivePath());
  EXPECT_EQ(reading.firstBadFile, "");
  ASSERT_EQ(reading.entries.size(), 2u);
  EXPECT_EQ(reading.entries[0].md5, Md5Of(small));
  EXPECT_EQ(reading.entries[1].name, "zeros.log");
  EXPECT_EQ(reading.entries[1].md5, Md5Of(zeros));
}

TEST_F(ZipTest, TheEntryCountStopsBelowTheEndRecordsLimit) {
  const std::wstring empty = FromUtf8(Source("empty", ""));
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  size_t added = 0;
  for (size_t i = 0; i < ZipArchiveWriter::kMaxEntries; ++i) {
    added += writer->AddFile(L"e" + std::to_wstring(i), empty) ? 1 : 0;
  }
  EXPECT_EQ(added, ZipArchiveWriter::kMaxEntries);
  EXPECT_FALSE(writer->AddFile(L"one-too-many", empty));
  ASSERT_TRUE(writer->Close());
  const RawArchive raw = ReadRaw(testing_support::ReadFile(ArchivePath()));
  EXPECT_TRUE(raw.parsed);
  EXPECT_EQ(raw.entryCount, ZipArchiveWriter::kMaxEntries);
  EXPECT_EQ(Unzip(ArchivePath()), 0);
}

// Caps the size of every file this process writes, so that a write fails
// the way a full disk makes it fail.
class FileSizeCap {
 public:
  explicit FileSizeCap(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit capped = old_;
    capped.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &capped);
  }
  ~FileSizeCap() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  sighandler_t oldHandler_ = SIG_DFL;
};

TEST_F(ZipTest, AFailedWriteLeavesNoArchiveAndTheOldFileInPlace) {
  testing_support::WriteFile(ArchivePath(), "previous archive");
  const std::wstring noise = FromUtf8(Source("noise.bin", RandomBytes(512 * 1024, 5)));
  auto writer = ZipArchiveWriter::Open(FromUtf8(ArchivePath()));
  ASSERT_NE(writer, nullptr);
  {
    FileSizeCap cap(64 * 1024);
    EXPECT_FALSE(writer->AddFile(L"noise.bin", noise));
  }
  // The writer stays broken: a small entry after the failure is not trusted.
  EXPECT_FALSE(writer->AddFile(L"small.log", FromUtf8(Source("small.log", "small"))));
  EXPECT_FALSE(writer->Close());
  EXPECT_EQ(testing_support::ReadFile(ArchivePath()), "previous archive");
  EXPECT_EQ(FolderListing(Folder() + "/out"), std::vector<std::string>{"archive.zip"});
}

}  // namespace
}  // namespace ziptest
