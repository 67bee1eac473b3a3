#include "AuthenticodeImage.h"

#include <string>

namespace signature {
namespace {

constexpr uint64_t kDosHeaderSize = 64;
constexpr uint64_t kNewHeaderPointerAt = 0x3C;
constexpr uint64_t kFileHeaderSize = 20;  // after the 4-byte "PE\0\0"
constexpr uint64_t kSectionHeaderSize = 40;
constexpr uint16_t kMaxSections = 96;  // the loader's limit
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint64_t kChecksumAt = 64;  // inside the optional header, both kinds
constexpr uint32_t kCertificateDirectory = 4;
constexpr uint64_t kSizeOfHeadersAt = 60;

uint16_t Word(const std::string& bytes, uint64_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1])
                                                                     << 8);
}

uint32_t Dword(const std::string& bytes, uint64_t at) {
  return static_cast<uint32_t>(Word(bytes, at)) | static_cast<uint32_t>(Word(bytes, at + 2)) << 16;
}

struct Headers {
  uint64_t optionalHeaderAt = 0;  // file offset
  std::string optional;           // the optional header
  uint16_t sectionCount = 0;
  uint64_t sectionTableAt = 0;
};

bool ReadHeaders(SignatureFileReader& file, Headers* headers) {
  std::string dos;
  if (!file.ReadAt(0, kDosHeaderSize, &dos) || dos.compare(0, 2, "MZ") != 0) return false;
  const uint64_t peAt = Dword(dos, kNewHeaderPointerAt);
  std::string pe;
  if (!file.ReadAt(peAt, 4 + kFileHeaderSize, &pe) ||
      pe.compare(0, 4, std::string("PE\0\0", 4)) != 0) {
    return false;
  }
  headers->sectionCount = Word(pe, 4 + 2);
  const uint16_t optionalSize = Word(pe, 4 + 16);
  headers->optionalHeaderAt = peAt + 4 + kFileHeaderSize;
  headers->sectionTableAt = headers->optionalHeaderAt + optionalSize;
  return headers->sectionCount <= kMaxSections &&
         file.ReadAt(headers->optionalHeaderAt, optionalSize, &headers->optional) &&
         file.Contains(headers->sectionTableAt, headers->sectionCount * kSectionHeaderSize);
}

// Offset of the data directories inside the optional header, 0 when the
// header is of neither kind or too short to hold the certificate entry.
uint64_t DirectoriesAt(const std::string& optional) {
  if (optional.size() < 2) return 0;
  const uint16_t magic = Word(optional, 0);
  const uint64_t countAt = magic == kPe32Magic ? 92 : magic == kPe32PlusMagic ? 108 : 0;
  if (countAt == 0) return 0;
  const uint64_t directoriesAt = countAt + 4;
  const uint64_t entryEnd = directoriesAt + (kCertificateDirectory + 1) * 8;
  if (optional.size() < entryEnd || Dword(optional, countAt) <= kCertificateDirectory) return 0;
  return directoriesAt;
}

bool SectionsInside(SignatureFileReader& file, const Headers& headers, uint64_t hashedEnd) {
  std::string table;
  if (!file.ReadAt(headers.sectionTableAt, headers.sectionCount * kSectionHeaderSize, &table)) {
    return false;
  }
  for (uint16_t i = 0; i < headers.sectionCount; ++i) {
    const uint64_t entry = i * kSectionHeaderSize;
    const uint64_t rawSize = Dword(table, entry + 16);
    const uint64_t rawAt = Dword(table, entry + 20);
    if (rawSize > 0 && (rawAt > hashedEnd || rawSize > hashedEnd - rawAt)) return false;
  }
  return true;
}

}  // namespace

AuthenticodeImage ReadAuthenticodeImage(SignatureFileReader& file) {
  AuthenticodeImage image;
  Headers headers;
  if (!ReadHeaders(file, &headers)) return image;
  const uint64_t directoriesAt = DirectoriesAt(headers.optional);
  if (directoriesAt == 0) return image;
  const uint64_t entryAt = directoriesAt + kCertificateDirectory * 8;
  const uint64_t tableAt = Dword(headers.optional, entryAt);
  const uint64_t tableSize = Dword(headers.optional, entryAt + 4);
  const uint64_t headersEnd = headers.sectionTableAt + headers.sectionCount * kSectionHeaderSize;
  const uint64_t sizeOfHeaders = Dword(headers.optional, kSizeOfHeadersAt);
  if (tableAt == 0 && tableSize == 0) {
    image.certificateTableOffset = file.Size();
  } else if (tableSize < 8 || tableAt % 8 != 0 || tableAt < headersEnd || tableAt < sizeOfHeaders ||
             !file.Contains(tableAt, tableSize) || tableAt + tableSize != file.Size()) {
    return image;
  } else {
    image.certificateTableOffset = tableAt;
    image.certificateTableSize = tableSize;
  }
  if (!SectionsInside(file, headers, image.certificateTableOffset)) return image;
  image.checksumOffset = headers.optionalHeaderAt + kChecksumAt;
  image.certificateEntryOffset = headers.optionalHeaderAt + entryAt;
  image.sound = true;
  return image;
}

}  // namespace signature
