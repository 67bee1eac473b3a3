#include "SkinPngSize.h"

#include <cstdint>
#include <cstring>

namespace skintest {
namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kIhdrLength = 13;
// Signature, chunk length, chunk type, then the 13 data bytes of IHDR.
constexpr std::size_t kHeaderBytes = 8 + 4 + 4 + kIhdrLength;

uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

}  // namespace

bool ReadPngSize(const std::vector<unsigned char>& bytes, PngSize* size) {
  if (bytes.size() < kHeaderBytes) return false;
  if (std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) return false;
  if (BigEndian32(bytes.data() + 8) != kIhdrLength) return false;
  if (std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return false;
  const uint32_t width = BigEndian32(bytes.data() + 16);
  const uint32_t height = BigEndian32(bytes.data() + 20);
  // PNG caps dimensions at 2^31 - 1; a skin picture is far smaller still.
  constexpr uint32_t kLargest = 1u << 16;
  if (width == 0 || height == 0 || width > kLargest || height > kLargest) return false;
  size->width = static_cast<int>(width);
  size->height = static_cast<int>(height);
  return true;
}

}  // namespace skintest
