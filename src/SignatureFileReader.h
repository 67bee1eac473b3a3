// Bounded reads from the file under signature check: every read names its
// offset and length and fails, rather than coming back short, when the range
// does not lie inside the file as it was measured at opening. Lengths in the
// file are attacker data, so callers hand them here unchecked.
//
// One object per check, one thread at a time. Owns its open file.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>

#include "SignatureTrust.h"

namespace signature {

class SignatureFileReader {
 public:
  // Opens path for reading; Open() tells how it went.
  explicit SignatureFileReader(const std::wstring& path);
  SignatureFileReader(const SignatureFileReader&) = delete;
  SignatureFileReader& operator=(const SignatureFileReader&) = delete;

  // kTrustSuccess, or the verdict of a file that cannot be checked at all:
  // kFileNotFound, kAccessDenied (also anything but a regular file, such as
  // a folder or a pipe), kReadFault.
  uint32_t OpenResult() const { return openResult_; }
  uint64_t Size() const { return size_; }

  // True when [offset, offset + length) lies inside the file.
  bool Contains(uint64_t offset, uint64_t length) const;
  // Replaces *bytes with the range; false (and *bytes empty) when the range
  // is outside the file or the read fails.
  bool ReadAt(uint64_t offset, uint64_t length, std::string* bytes);
  // Reads the range into out (room for length bytes); false as ReadAt.
  bool ReadInto(uint64_t offset, uint64_t length, char* out);
  // Hands the range to sink in pieces of at most 64 KiB; false when the range
  // is outside the file, a read fails or sink returns false.
  template <typename Sink>
  bool ForEachPiece(uint64_t offset, uint64_t length, Sink sink);

 private:
  std::ifstream in_;
  uint64_t size_ = 0;
  uint32_t openResult_ = kReadFault;
};

template <typename Sink>
bool SignatureFileReader::ForEachPiece(uint64_t offset, uint64_t length, Sink sink) {
  if (!Contains(offset, length)) return false;
  constexpr uint64_t kPiece = 64 * 1024;
  std::string buffer(static_cast<size_t>(length < kPiece ? length : kPiece), '\0');
  while (length > 0) {
    const uint64_t now = length < kPiece ? length : kPiece;
    if (!ReadInto(offset, now, &buffer[0]) || !sink(buffer.data(), static_cast<size_t>(now))) {
      return false;
    }
    offset += now;
    length -= now;
  }
  return true;
}

}  // namespace signature
