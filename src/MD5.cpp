#include "MD5.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Encoding.h"

namespace {

// Large reads keep the system-call cost far below the hashing cost while the
// memory stays bounded whatever the file size.
constexpr std::size_t kReadBlock = 1 << 20;

inline std::uint32_t LoadLe32(const unsigned char* bytes) {
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap32(word);
#endif
  return word;
}

inline void StoreLe32(std::uint32_t word, unsigned char* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(word >> (8 * i));
}

inline std::uint32_t Rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

// The four step kinds. Each adds the message word and its constant (xk) first:
// that sum does not depend on the previous step, so only the boolean function
// and the rotation stay on the dependency chain from one step to the next.
template <int S>
inline void StepF(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t xk) {
  a += xk + (d ^ (b & (c ^ d)));
  a = Rotl(a, S) + b;
}

// (b & d) | (c & ~d) with disjoint bits: the sum lets (c & ~d) leave the chain.
template <int S>
inline void StepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t xk) {
  a += xk + (c & ~d);
  a += b & d;
  a = Rotl(a, S) + b;
}

template <int S>
inline void StepH(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t xk) {
  a += xk + (b ^ c ^ d);
  a = Rotl(a, S) + b;
}

template <int S>
inline void StepI(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                  std::uint32_t xk) {
  a += xk + (c ^ (b | ~d));
  a = Rotl(a, S) + b;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void MD5::reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  byteCount_ = 0;
  std::memset(buffer_, 0, sizeof buffer_);
  std::memset(digest_, 0, sizeof digest_);
  finalized_ = false;
}

void MD5::update(const void* input, std::size_t length) {
  if (finalized_ || length == 0) return;
  const auto* bytes = static_cast<const unsigned char*>(input);
  std::size_t used = static_cast<std::size_t>(byteCount_ % 64);
  byteCount_ += length;
  if (used != 0) {
    const std::size_t take = length < 64 - used ? length : 64 - used;
    std::memcpy(buffer_ + used, bytes, take);
    bytes += take;
    length -= take;
    if (used + take < 64) return;
    processBlocks(buffer_, 1);
  }
  const std::size_t blocks = length / 64;
  processBlocks(bytes, blocks);
  std::memcpy(buffer_, bytes + blocks * 64, length - blocks * 64);
}

bool MD5::update(std::istream& input) {
  std::unique_ptr<char[]> block(new char[kReadBlock]);
  while (input) {
    input.read(block.get(), kReadBlock);
    update(block.get(), static_cast<std::size_t>(input.gcount()));
  }
  return input.eof() && !input.bad();
}

void MD5::finalize() {
  if (finalized_) return;
  const std::uint64_t bits = byteCount_ * 8;
  const std::size_t used = static_cast<std::size_t>(byteCount_ % 64);
  unsigned char padding[64 + 8] = {0x80};
  const std::size_t padLength = used < 56 ? 56 - used : 120 - used;
  for (int i = 0; i < 8; ++i) {
    padding[padLength + i] = static_cast<unsigned char>(bits >> (8 * i));
  }
  update(padding, padLength + 8);
  for (int i = 0; i < 4; ++i) StoreLe32(state_[i], digest_ + 4 * i);
  finalized_ = true;
}

std::string MD5::hexdigest() const {
  if (!finalized_) return "";
  static const char kHex[] = "0123456789abcdef";
  std::string text(32, '0');
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = kHex[digest_[i] >> 4];
    text[2 * i + 1] = kHex[digest_[i] & 0x0f];
  }
  return text;
}

void MD5::processBlocks(const unsigned char* blocks, std::size_t count) {
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (; count != 0; --count, blocks += 64) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLe32(blocks + 4 * i);
    const std::uint32_t aa = a, bb = b, cc = c, dd = d;

    StepF<7>(a, b, c, d, x[0] + 0xd76aa478);
    StepF<12>(d, a, b, c, x[1] + 0xe8c7b756);
    StepF<17>(c, d, a, b, x[2] + 0x242070db);
    StepF<22>(b, c, d, a, x[3] + 0xc1bdceee);
    StepF<7>(a, b, c, d, x[4] + 0xf57c0faf);
    StepF<12>(d, a, b, c, x[5] + 0x4787c62a);
    StepF<17>(c, d, a, b, x[6] + 0xa8304613);
    StepF<22>(b, c, d, a, x[7] + 0xfd469501);
    StepF<7>(a, b, c, d, x[8] + 0x698098d8);
    StepF<12>(d, a, b, c, x[9] + 0x8b44f7af);
    StepF<17>(c, d, a, b, x[10] + 0xffff5bb1);
    StepF<22>(b, c, d, a, x[11] + 0x895cd7be);
    StepF<7>(a, b, c, d, x[12] + 0x6b901122);
    StepF<12>(d, a, b, c, x[13] + 0xfd987193);
    StepF<17>(c, d, a, b, x[14] + 0xa679438e);
    StepF<22>(b, c, d, a, x[15] + 0x49b40821);

    StepG<5>(a, b, c, d, x[1] + 0xf61e2562);
    StepG<9>(d, a, b, c, x[6] + 0xc040b340);
    StepG<14>(c, d, a, b, x[11] + 0x265e5a51);
    StepG<20>(b, c, d, a, x[0] + 0xe9b6c7aa);
    StepG<5>(a, b, c, d, x[5] + 0xd62f105d);
    StepG<9>(d, a, b, c, x[10] + 0x02441453);
    StepG<14>(c, d, a, b, x[15] + 0xd8a1e681);
    StepG<20>(b, c, d, a, x[4] + 0xe7d3fbc8);
    StepG<5>(a, b, c, d, x[9] + 0x21e1cde6);
    StepG<9>(d, a, b, c, x[14] + 0xc33707d6);
    StepG<14>(c, d, a, b, x[3] + 0xf4d50d87);
    StepG<20>(b, c, d, a, x[8] + 0x455a14ed);
    StepG<5>(a, b, c, d, x[13] + 0xa9e3e905);
    StepG<9>(d, a, b, c, x[2] + 0xfcefa3f8);
    StepG<14>(c, d, a, b, x[7] + 0x676f02d9);
    StepG<20>(b, c, d, a, x[12] + 0x8d2a4c8a);

    StepH<4>(a, b, c, d, x[5] + 0xfffa3942);
    StepH<11>(d, a, b, c, x[8] + 0x8771f681);
    StepH<16>(c, d, a, b, x[11] + 0x6d9d6122);
    StepH<23>(b, c, d, a, x[14] + 0xfde5380c);
    StepH<4>(a, b, c, d, x[1] + 0xa4beea44);
    StepH<11>(d, a, b, c, x[4] + 0x4bdecfa9);
    StepH<16>(c, d, a, b, x[7] + 0xf6bb4b60);
    StepH<23>(b, c, d, a, x[10] + 0xbebfbc70);
    StepH<4>(a, b, c, d, x[13] + 0x289b7ec6);
    StepH<11>(d, a, b, c, x[0] + 0xeaa127fa);
    StepH<16>(c, d, a, b, x[3] + 0xd4ef3085);
    StepH<23>(b, c, d, a, x[6] + 0x04881d05);
    StepH<4>(a, b, c, d, x[9] + 0xd9d4d039);
    StepH<11>(d, a, b, c, x[12] + 0xe6db99e5);
    StepH<16>(c, d, a, b, x[15] + 0x1fa27cf8);
    StepH<23>(b, c, d, a, x[2] + 0xc4ac5665);

    StepI<6>(a, b, c, d, x[0] + 0xf4292244);
    StepI<10>(d, a, b, c, x[7] + 0x432aff97);
    StepI<15>(c, d, a, b, x[14] + 0xab9423a7);
    StepI<21>(b, c, d, a, x[5] + 0xfc93a039);
    StepI<6>(a, b, c, d, x[12] + 0x655b59c3);
    StepI<10>(d, a, b, c, x[3] + 0x8f0ccc92);
    StepI<15>(c, d, a, b, x[10] + 0xffeff47d);
    StepI<21>(b, c, d, a, x[1] + 0x85845dd1);
    StepI<6>(a, b, c, d, x[8] + 0x6fa87e4f);
    StepI<10>(d, a, b, c, x[15] + 0xfe2ce6e0);
    StepI<15>(c, d, a, b, x[6] + 0xa3014314);
    StepI<21>(b, c, d, a, x[13] + 0x4e0811a1);
    StepI<6>(a, b, c, d, x[4] + 0xf7537e82);
    StepI<10>(d, a, b, c, x[11] + 0xbd3af235);
    StepI<15>(c, d, a, b, x[2] + 0x2ad7d2bb);
    StepI<21>(b, c, d, a, x[9] + 0xeb86d391);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state_[0] = a;
  state_[1] = b;
  state_[2] = c;
  state_[3] = d;
}

std::string Md5OfText(const std::string& text) {
  MD5 md5;
  md5.update(text.data(), text.size());
  md5.finalize();
  return md5.hexdigest();
}

std::string Md5OfFile(const std::wstring& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(platform::ToUtf8(path).c_str(), "rb"));
  if (!file) return "";
  std::unique_ptr<unsigned char[]> block(new unsigned char[kReadBlock]);
  MD5 md5;
  std::size_t got;
  do {
    got = std::fread(block.get(), 1, kReadBlock, file.get());
    md5.update(block.get(), got);
  } while (got == kReadBlock);
  if (std::ferror(file.get())) return "";
  md5.finalize();
  return md5.hexdigest();
}
