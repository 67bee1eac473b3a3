// MD5 against the RFC 1321 examples and two independent implementations:
// OpenSSL's for in-memory messages and md5sum for files.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "MD5.h"
#include "platform/Encoding.h"
#include "support/TestEnvironment.h"

namespace {

std::string Hex(const unsigned char* bytes, unsigned int length) {
  std::string text;
  char two[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    text += two;
  }
  return text;
}

std::string ReferenceMd5(const std::string& data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EXPECT_EQ(1, EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr));
  return Hex(digest, length);
}

// Bytes of every value, reproducible from the seed.
std::string RandomBytes(std::size_t length, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(length, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator() & 0xff);
  return bytes;
}

// The test suite of RFC 1321, appendix A.5.
TEST(Md5Text, RfcTestSuite) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(expected, Md5OfText(text)) << '"' << text << '"';
  }
}

// Every length around the padding edges (55/56 bytes leave no room for the
// length, 63/64 fill a block) for two block counts, with bytes of every value.
TEST(Md5Text, EveryLengthUpTo130MatchesOpenSsl) {
  const std::string data = RandomBytes(130, 1321);
  for (std::size_t length = 0; length <= data.size(); ++length) {
    const std::string message = data.substr(0, length);
    EXPECT_EQ(ReferenceMd5(message), Md5OfText(message)) << "length " << length;
  }
}

TEST(Md5Text, EmbeddedZeroBytesCount) {
  const std::string withZero("ab\0c", 4);
  EXPECT_EQ(ReferenceMd5(withZero), Md5OfText(withZero));
  EXPECT_NE(Md5OfText("ab"), Md5OfText(withZero));
}

// Chunks that start and end anywhere inside a block must give the one-shot
// digest, including chunks that complete a partly filled block.
TEST(Md5Incremental, ChunkSizesGiveTheOneShotDigest) {
  const std::string data = RandomBytes(5000, 7);
  const std::string expected = ReferenceMd5(data);
  for (std::size_t chunk : {1, 3, 7, 55, 56, 63, 64, 65, 127, 129, 4096}) {
    MD5 md5;
    for (std::size_t at = 0; at < data.size(); at += chunk) {
      md5.update(data.data() + at, std::min(chunk, data.size() - at));
    }
    md5.finalize();
    EXPECT_EQ(expected, md5.hexdigest()) << "chunk " << chunk;
  }
}

TEST(Md5Incremental, MixedChunkSizesAndEmptyUpdates) {
  const std::string data = RandomBytes(3000, 11);
  const std::size_t pattern[] = {0, 1, 62, 0, 2, 64, 63, 129, 5, 0, 56};
  MD5 md5;
  std::size_t at = 0;
  for (std::size_t step = 0; at < data.size(); ++step) {
    const std::size_t chunk = std::min(pattern[step % std::size(pattern)], data.size() - at);
    md5.update(data.data() + at, chunk);
    at += chunk;
  }
  md5.update(nullptr, 0);
  md5.finalize();
  EXPECT_EQ(ReferenceMd5(data), md5.hexdigest());
}

// More than 2^32 bits: the high half of the length must reach the padding.
TEST(Md5Incremental, MessageLongerThanFourGibibits) {
  const std::string block = RandomBytes(1 << 20, 29);
  const std::size_t blocks = (std::size_t{1} << 29) / block.size() + 1;
  const std::string tail = "tail";
  MD5 md5;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> reference(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
  ASSERT_EQ(1, EVP_DigestInit_ex(reference.get(), EVP_md5(), nullptr));
  for (std::size_t i = 0; i < blocks; ++i) {
    md5.update(block.data(), block.size());
    EVP_DigestUpdate(reference.get(), block.data(), block.size());
  }
  md5.update(tail.data(), tail.size());
  EVP_DigestUpdate(reference.get(), tail.data(), tail.size());
  md5.finalize();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  ASSERT_EQ(1, EVP_DigestFinal_ex(reference.get(), digest, &length));
  EXPECT_EQ(Hex(digest, length), md5.hexdigest());
}

TEST(Md5Incremental, StreamGivesTheSameDigestAsBytes) {
  const std::string data = RandomBytes((1 << 20) * 2 + 77, 5);
  std::istringstream stream(data);
  MD5 md5;
  EXPECT_TRUE(md5.update(stream));
  md5.finalize();
  EXPECT_EQ(ReferenceMd5(data), md5.hexdigest());
}

TEST(Md5Incremental, StreamThatNeverOpenedReportsFailure) {
  std::ifstream missing("/nonexistent-vornik-folder/file");
  MD5 md5;
  EXPECT_FALSE(md5.update(missing));
  md5.finalize();
  EXPECT_EQ(Md5OfText(""), md5.hexdigest());
}

// A digest once handed out must not change, and reset must start afresh.
TEST(Md5Lifecycle, FinalizedDigestIsFixedUntilReset) {
  MD5 md5;
  EXPECT_EQ("", md5.hexdigest());
  md5.update("abc", 3);
  md5.finalize();
  const std::string first = md5.hexdigest();
  md5.update("more", 4);
  md5.finalize();
  EXPECT_EQ(first, md5.hexdigest());
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", first);

  md5.reset();
  EXPECT_EQ("", md5.hexdigest());
  md5.update("a", 1);
  md5.finalize();
  EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", md5.hexdigest());
}

class Md5FileTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return env_.Root() + "/" + name; }

  static void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
  }

  static std::string Md5sum(const std::string& path) {
    std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(("md5sum '" + path + "'").c_str(), "r"),
                                                  &pclose);
    if (!pipe) return "popen failed";
    char line[256] = {};
    if (!std::fgets(line, sizeof line, pipe.get())) return "no output";
    return std::string(line).substr(0, 32);
  }

  testing_support::TestEnvironment env_;
};

// Sizes around the file reader's 1 MiB block: an exact multiple ends with an
// empty read, which must add nothing.
TEST_F(Md5FileTest, SizesAroundTheReadBlock) {
  const std::size_t mib = 1 << 20;
  const std::string data = RandomBytes(2 * mib + 1, 3);
  for (std::size_t size :
       {std::size_t{0}, std::size_t{1}, mib - 1, mib, mib + 1, 2 * mib, 2 * mib + 1}) {
    const std::string path = Path("block-" + std::to_string(size));
    const std::string content = data.substr(0, size);
    WriteBytes(path, content);
    EXPECT_EQ(ReferenceMd5(content), Md5OfFile(platform::FromUtf8(path))) << "size " << size;
  }
}

TEST_F(Md5FileTest, LargeRandomFileMatchesMd5sum) {
  const std::string path = Path("large.bin");
  {
    std::ofstream out(path, std::ios::binary);
    for (unsigned seed = 0; seed < 64; ++seed) {
      const std::string block = RandomBytes(1 << 20, 100 + seed);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    out.write("odd", 3);
    ASSERT_TRUE(out.good());
  }
  EXPECT_EQ(Md5sum(path), Md5OfFile(platform::FromUtf8(path)));
}

TEST_F(Md5FileTest, NonAsciiPath) {
  const std::wstring path =
      platform::FromUtf8(Path("")) + L"Lumaclear \u00e9t\u00e9 \u5b89\u88c5.exe";
  WriteBytes(platform::ToUtf8(path), "abc");
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Md5OfFile(path));
}

// No digest for what cannot be read: a file that is missing, or a folder,
// which opens but fails on the first read.
TEST_F(Md5FileTest, UnreadableGivesEmptyText) {
  std::filesystem::create_directories(Path("folder"));
  for (const std::string& name : {std::string("missing.bin"), std::string("folder")}) {
    EXPECT_EQ("", Md5OfFile(platform::FromUtf8(Path(name)))) << name;
  }
  EXPECT_EQ("", Md5OfFile(L""));
}

}  // namespace
