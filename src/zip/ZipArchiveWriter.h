// ZipArchiveWriter: writes a ZIP archive of whole files, one entry per
// AddFile, for the log shipping of a "-dmp" or "-close" run.
//
// Entries are deflated at level 8 (stored for names of already compressed
// formats, see ZipEntryName.h), named in UTF-8 with "/" separators, dated by
// the source's last-write time, and carry the "UT" extended timestamp. Each
// local header is written before the data and rewritten afterwards with the
// CRC-32 and both sizes, so no data descriptor follows the data and the
// general-purpose flags end up 0. No ZIP64: an entry that would bring any
// size or offset of the archive, or the archive itself, to 4 GiB is refused
// and leaves no trace, as is a 65 535th entry.
//
// The archive is written under a temporary name beside the path and renamed
// over it by Close (ZipOutputFile.h). Until then an existing file at the path
// stays as it was; a writer destroyed without Close, or whose Close fails,
// leaves no file behind. So a file at the path is always a whole archive.
//
// Sources are read in 64 KiB blocks, never whole. A source that is missing,
// unreadable, not a regular file, or fails while it is read is not added
// (what was written of it is cut off again). A failed write, seek or cut
// breaks the writer: every later call fails and Close removes the file.
//
// One thread uses a writer; different writers are independent. Blocks only
// on its own file operations.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zip/ZipOutputFile.h"
#include "zip/ZipRecords.h"

class ZipSourceFile;

class ZipArchiveWriter {
 public:
  // Starts an archive that Close puts at path. None when the temporary file
  // cannot be created (missing folder, no permission, path is a folder).
  static std::unique_ptr<ZipArchiveWriter> Open(const std::wstring& path);
  ~ZipArchiveWriter();  // without Close: the temporary file is removed
  ZipArchiveWriter(const ZipArchiveWriter&) = delete;
  ZipArchiveWriter& operator=(const ZipArchiveWriter&) = delete;

  // Appends the file at sourcePath under entryName ("\" becomes "/"). True
  // when the entry was added. Callers may ignore the result: a refused entry
  // leaves the archive as it was before the call.
  bool AddFile(const std::wstring& entryName, const std::wstring& sourcePath);

  // Writes the central directory and the end record and puts the archive at
  // its path. True when the archive is there and complete; false when the
  // writer was broken or a step failed, and then nothing was put at the path.
  // Later calls (and AddFile) fail.
  bool Close();

  // The archive's size limit, for tests of the 4 GiB rule with small files:
  // every offset and size, and the whole archive, stay below it.
  void SetSizeLimitForTesting(uint64_t bytes) { sizeLimit_ = bytes; }

  static constexpr uint64_t kSizeLimit = 0xFFFFFFFFull;
  static constexpr size_t kMaxEntries = 0xFFFE;

 private:
  ZipArchiveWriter() = default;

  enum class Outcome { kAdded, kRefused, kBroken };
  Outcome WriteEntry(ZipEntryRecord* entry, ZipSourceFile* source);
  bool StreamData(ZipEntryRecord* entry, ZipSourceFile* source, bool* refused);
  bool Fits(const ZipEntryRecord& entry, uint64_t dataBytes, uint64_t sourceBytes) const;

  ZipOutputFile file_;
  std::vector<ZipEntryRecord> entries_;
  uint64_t centralSize_ = 0;
  uint64_t sizeLimit_ = kSizeLimit;
  bool broken_ = false;
  bool closed_ = false;
};
