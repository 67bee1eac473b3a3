#include "zip/ZipArchiveWriter.h"

#include <zlib.h>

#include <vector>

#include "zip/ZipDeflater.h"
#include "zip/ZipEntryName.h"
#include "zip/ZipSourceFile.h"

namespace {

constexpr size_t kReadBlock = 64 * 1024;

}  // namespace

std::unique_ptr<ZipArchiveWriter> ZipArchiveWriter::Open(const std::wstring& path) {
  std::unique_ptr<ZipArchiveWriter> writer(new ZipArchiveWriter());
  if (!writer->file_.Create(path)) return nullptr;
  return writer;
}

ZipArchiveWriter::~ZipArchiveWriter() = default;

bool ZipArchiveWriter::AddFile(const std::wstring& entryName, const std::wstring& sourcePath) {
  if (broken_ || closed_ || entries_.size() >= kMaxEntries) return false;
  ZipEntryRecord entry;
  entry.name = ZipEntryNameOf(entryName);
  if (entry.name.empty()) return false;
  ZipSourceFile source;
  if (!source.Open(sourcePath)) return false;
  entry.method = IsStoredZipEntry(entry.name) ? kZipMethodStored : kZipMethodDeflated;
  entry.modified = DosDateTimeOfUnixTime(source.Times().modified);
  entry.modifiedTime = source.Times().modified;
  entry.accessTime = source.Times().accessed;
  entry.creationTime = source.Times().created;
  entry.localHeaderOffset = static_cast<uint32_t>(file_.Size());
  // A source already known to be too large is refused before a byte of it
  // is written; one that grows past the limit is cut off again below.
  const uint64_t knownData = entry.method == kZipMethodStored ? source.Size() : 0;
  if (!Fits(entry, knownData, source.Size())) return false;

  const uint64_t start = file_.Size();
  switch (WriteEntry(&entry, &source)) {
    case Outcome::kAdded:
      entries_.push_back(entry);
      centralSize_ += ZipCentralHeaderSize(entry);
      return true;
    case Outcome::kRefused:
      if (!file_.TruncateTo(start)) broken_ = true;
      return false;
    case Outcome::kBroken:
      broken_ = true;
      return false;
  }
  return false;
}

bool ZipArchiveWriter::Close() {
  if (closed_) return false;
  closed_ = true;
  if (broken_) {
    file_.Abandon();
    return false;
  }
  const uint64_t centralOffset = file_.Size();
  for (const ZipEntryRecord& entry : entries_) {
    if (!file_.Append(ZipCentralHeader(entry))) {
      file_.Abandon();
      return false;
    }
  }
  const std::string end =
      ZipEndRecord(static_cast<uint16_t>(entries_.size()), static_cast<uint32_t>(centralSize_),
                   static_cast<uint32_t>(centralOffset));
  if (!file_.Append(end)) {
    file_.Abandon();
    return false;
  }
  return file_.Commit();
}

ZipArchiveWriter::Outcome ZipArchiveWriter::WriteEntry(ZipEntryRecord* entry,
                                                       ZipSourceFile* source) {
  entry->flags = kZipFlagSizesFollow;
  if (!file_.Append(ZipLocalHeader(*entry))) return Outcome::kBroken;
  bool refused = false;
  if (!StreamData(entry, source, &refused)) return refused ? Outcome::kRefused : Outcome::kBroken;
  entry->flags = 0;
  if (!file_.Overwrite(entry->localHeaderOffset, ZipLocalHeader(*entry))) return Outcome::kBroken;
  return Outcome::kAdded;
}

// Copies or deflates the source to the end of the file. False with *refused
// when the source fails or the entry grows too large (the caller cuts it off
// again), false alone when writing fails.
bool ZipArchiveWriter::StreamData(ZipEntryRecord* entry, ZipSourceFile* source, bool* refused) {
  const bool deflated = entry->method == kZipMethodDeflated;
  ZipDeflater deflater;
  if (deflated && !deflater.Ok()) {
    *refused = true;
    return false;
  }
  std::vector<char> block(kReadBlock);
  std::string out;
  uLong crc = crc32(0L, Z_NULL, 0);
  uint64_t sourceBytes = 0;
  uint64_t dataBytes = 0;
  for (;;) {
    bool failed = false;
    const size_t read = source->Read(block.data(), block.size(), &failed);
    const bool end = read == 0 && !failed;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(read));
    sourceBytes += read;
    out.clear();
    if (deflated) {
      failed = failed || !deflater.Feed(block.data(), read, end, &out);
    } else {
      out.assign(block.data(), read);
    }
    dataBytes += out.size();
    if (failed || !Fits(*entry, dataBytes, sourceBytes)) {
      *refused = true;
      return false;
    }
    if (!out.empty() && !file_.Append(out)) return false;
    if (end) break;
  }
  entry->crc32 = static_cast<uint32_t>(crc);
  entry->compressedSize = static_cast<uint32_t>(dataBytes);
  entry->uncompressedSize = static_cast<uint32_t>(sourceBytes);
  return true;
}

// True when the archive, closed right after this entry with dataBytes of
// data from sourceBytes of source, stays below the size limit in every field.
bool ZipArchiveWriter::Fits(const ZipEntryRecord& entry, uint64_t dataBytes,
                            uint64_t sourceBytes) const {
  const uint64_t total = entry.localHeaderOffset + ZipLocalHeaderSize(entry) + dataBytes +
                         centralSize_ + ZipCentralHeaderSize(entry) + kZipEndRecordBytes;
  return total < sizeLimit_ && sourceBytes < sizeLimit_;
}
