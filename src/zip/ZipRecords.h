// Byte layout of the three ZIP records this writer makes (PKWARE application
// note, without ZIP64): the local file header, the central directory header
// and the end-of-central-directory record, all little-endian.
//
// Every entry carries the "UT" extended timestamp (header id 0x5455, flags
// 7): modification, access and creation time in the local header (13 data
// bytes), the modification time alone in the central directory (5 data
// bytes). Pure functions; any thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "zip/DosDateTime.h"

constexpr uint16_t kZipMethodStored = 0;
constexpr uint16_t kZipMethodDeflated = 8;
// General-purpose flag bit 3: sizes and CRC follow in a data descriptor.
// Only the first version of a local header carries it; the rewrite clears it.
constexpr uint16_t kZipFlagSizesFollow = 8;
// NTFS host (11), ZIP format version 2.3.
constexpr uint16_t kZipVersionMadeBy = 0x0B17;
constexpr uint16_t kZipVersionNeeded = 20;
// The MS-DOS attribute byte of an ordinary file (FILE_ATTRIBUTE_ARCHIVE).
constexpr uint32_t kZipExternalAttributes = 0x20;

constexpr size_t kZipLocalHeaderFixedBytes = 30;
constexpr size_t kZipLocalExtraBytes = 4 + 13;
constexpr size_t kZipCentralHeaderFixedBytes = 46;
constexpr size_t kZipCentralExtraBytes = 4 + 5;
constexpr size_t kZipEndRecordBytes = 22;

// One entry as its headers describe it. Times are seconds since 1970, as
// the UT field stores them (32 bits, clamped to 0 .. 2^31 - 1).
struct ZipEntryRecord {
  std::string name;  // UTF-8, "/" separated
  uint16_t flags = 0;
  uint16_t method = kZipMethodStored;
  DosDateTime modified;
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint32_t localHeaderOffset = 0;  // central directory only
  int64_t modifiedTime = 0;
  int64_t accessTime = 0;
  int64_t creationTime = 0;
};

size_t ZipLocalHeaderSize(const ZipEntryRecord& entry);
size_t ZipCentralHeaderSize(const ZipEntryRecord& entry);

std::string ZipLocalHeader(const ZipEntryRecord& entry);
std::string ZipCentralHeader(const ZipEntryRecord& entry);
std::string ZipEndRecord(uint16_t entryCount, uint32_t centralSize, uint32_t centralOffset);
