#include "FileDigest.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace demoservices {
namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;
using File = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

std::string Hex(const unsigned char* bytes, unsigned int count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 0x0f];
  }
  return hex;
}

}  // namespace

bool ReadFileFacts(const std::string& path, FileFacts* facts) {
  File file(std::fopen(path.c_str(), "rb"), &std::fclose);
  DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!file || !context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) return false;
  std::vector<unsigned char> buffer(1 << 20);
  int64_t size = 0;
  size_t count = 0;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
    if (EVP_DigestUpdate(context.get(), buffer.data(), count) != 1) return false;
    size += static_cast<int64_t>(count);
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (std::ferror(file.get()) || EVP_DigestFinal_ex(context.get(), digest, &length) != 1) {
    return false;
  }
  facts->size = size;
  facts->md5 = Hex(digest, length);
  return true;
}

}  // namespace demoservices
