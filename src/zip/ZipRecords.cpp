#include "zip/ZipRecords.h"

#include <algorithm>

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint16_t kExtendedTimestampId = 0x5455;
constexpr uint8_t kAllThreeTimes = 7;

void Put16(std::string* out, uint16_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>(value >> 8));
}

void Put32(std::string* out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<uint16_t>(value >> 16));
}

uint32_t UtTime(int64_t seconds) {
  return static_cast<uint32_t>(std::clamp<int64_t>(seconds, 0, INT32_MAX));
}

// The fields that the local and the central header share, from the version
// needed to the extra field's length.
void PutCommonFields(std::string* out, const ZipEntryRecord& entry, size_t extraBytes) {
  Put16(out, kZipVersionNeeded);
  Put16(out, entry.flags);
  Put16(out, entry.method);
  Put16(out, entry.modified.time);
  Put16(out, entry.modified.date);
  Put32(out, entry.crc32);
  Put32(out, entry.compressedSize);
  Put32(out, entry.uncompressedSize);
  Put16(out, static_cast<uint16_t>(entry.name.size()));
  Put16(out, static_cast<uint16_t>(extraBytes));
}

}  // namespace

size_t ZipLocalHeaderSize(const ZipEntryRecord& entry) {
  return kZipLocalHeaderFixedBytes + entry.name.size() + kZipLocalExtraBytes;
}

size_t ZipCentralHeaderSize(const ZipEntryRecord& entry) {
  return kZipCentralHeaderFixedBytes + entry.name.size() + kZipCentralExtraBytes;
}

std::string ZipLocalHeader(const ZipEntryRecord& entry) {
  std::string out;
  out.reserve(ZipLocalHeaderSize(entry));
  Put32(&out, kLocalHeaderSignature);
  PutCommonFields(&out, entry, kZipLocalExtraBytes);
  out += entry.name;
  Put16(&out, kExtendedTimestampId);
  Put16(&out, kZipLocalExtraBytes - 4);
  out.push_back(static_cast<char>(kAllThreeTimes));
  Put32(&out, UtTime(entry.modifiedTime));
  Put32(&out, UtTime(entry.accessTime));
  Put32(&out, UtTime(entry.creationTime));
  return out;
}

std::string ZipCentralHeader(const ZipEntryRecord& entry) {
  std::string out;
  out.reserve(ZipCentralHeaderSize(entry));
  Put32(&out, kCentralHeaderSignature);
  Put16(&out, kZipVersionMadeBy);
  PutCommonFields(&out, entry, kZipCentralExtraBytes);
  Put16(&out, 0);  // comment length
  Put16(&out, 0);  // disk number
  Put16(&out, 0);  // internal attributes
  Put32(&out, kZipExternalAttributes);
  Put32(&out, entry.localHeaderOffset);
  out += entry.name;
  Put16(&out, kExtendedTimestampId);
  Put16(&out, kZipCentralExtraBytes - 4);
  // The flags still announce all three times, as the local header holds them.
  out.push_back(static_cast<char>(kAllThreeTimes));
  Put32(&out, UtTime(entry.modifiedTime));
  return out;
}

std::string ZipEndRecord(uint16_t entryCount, uint32_t centralSize, uint32_t centralOffset) {
  std::string out;
  out.reserve(kZipEndRecordBytes);
  Put32(&out, kEndRecordSignature);
  Put16(&out, 0);  // this disk
  Put16(&out, 0);  // disk of the central directory
  Put16(&out, entryCount);
  Put16(&out, entryCount);
  Put32(&out, centralSize);
  Put32(&out, centralOffset);
  Put16(&out, 0);  // comment length
  return out;
}
