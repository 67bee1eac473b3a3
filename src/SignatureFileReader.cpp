#include "SignatureFileReader.h"

#include <filesystem>
#include <system_error>

#include "platform/Encoding.h"

namespace signature {

namespace fs = std::filesystem;

SignatureFileReader::SignatureFileReader(const std::wstring& path) {
  const fs::path file(platform::ToUtf8(path));
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (status.type() == fs::file_type::not_found) {
    openResult_ = kFileNotFound;
    return;
  }
  // Opening a folder as a file is refused on Windows with access denied; a
  // pipe or a device is no file to check and could block the open.
  if (error || status.type() != fs::file_type::regular) {
    openResult_ = kAccessDenied;
    return;
  }
  in_.open(file, std::ios::binary);
  if (!in_) {
    openResult_ = kAccessDenied;
    return;
  }
  in_.seekg(0, std::ios::end);
  const std::streamoff end = in_.tellg();
  if (!in_ || end < 0) return;  // kReadFault
  size_ = static_cast<uint64_t>(end);
  openResult_ = kTrustSuccess;
}

bool SignatureFileReader::Contains(uint64_t offset, uint64_t length) const {
  return openResult_ == kTrustSuccess && offset <= size_ && length <= size_ - offset;
}

bool SignatureFileReader::ReadAt(uint64_t offset, uint64_t length, std::string* bytes) {
  bytes->clear();
  if (!Contains(offset, length)) return false;
  bytes->resize(static_cast<size_t>(length));
  if (length > 0 && !ReadInto(offset, length, &(*bytes)[0])) {
    bytes->clear();
    return false;
  }
  return true;
}

bool SignatureFileReader::ReadInto(uint64_t offset, uint64_t length, char* out) {
  if (!Contains(offset, length)) return false;
  if (length == 0) return true;
  in_.clear();
  in_.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
  in_.read(out, static_cast<std::streamsize>(length));
  // A file that shrank since it was measured reads short: that is a failure.
  return in_ && static_cast<uint64_t>(in_.gcount()) == length;
}

}  // namespace signature
