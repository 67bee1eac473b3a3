// MD5 of a file, computed with OpenSSL rather than the downloader's own MD5
// code, so that a fault in that code cannot hide behind a matching digest.
// Any thread.
#pragma once
#include <cstdint>
#include <string>

namespace demoservices {

struct FileFacts {
  int64_t size = -1;
  std::string md5;  // 32 lowercase hexadecimal digits
};

// Reads the whole file in pieces. False (facts untouched) when it cannot be
// opened or a read fails part-way.
bool ReadFileFacts(const std::string& path, FileFacts* facts);

}  // namespace demoservices
