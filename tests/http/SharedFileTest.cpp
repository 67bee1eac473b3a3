// The download's shared local file: opening without truncation, the error
// codes the worker pool acts on, and 64-bit offsets.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/SharedFile.h"
#include "support/TestEnvironment.h"

namespace http_test {
namespace {

using platform::SharedFile;
using testing_support::ReadFile;
using testing_support::WriteFile;

class SharedFileTest : public ::testing::Test {
 protected:
  testing_support::TestEnvironment env_;
};

TEST_F(SharedFileTest, AnExistingFileIsUpdatedInPlaceAndAMissingOneCreated) {
  const std::string existing = env_.Root() + "/existing.bin";
  WriteFile(existing, "hello world");
  SharedFile file;
  uint32_t error = 99;
  ASSERT_TRUE(file.Open(existing, &error));
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(file.WriteAt(6, "WORLD", 5), 5u);
  file.Close();
  EXPECT_EQ(ReadFile(existing), "hello WORLD");

  const std::string missing = env_.Root() + "/missing.bin";
  ASSERT_TRUE(file.Open(missing, &error));
  EXPECT_TRUE(std::filesystem::exists(missing));
  EXPECT_EQ(std::filesystem::file_size(missing), 0u);
}

TEST_F(SharedFileTest, FailuresCarryTheWindowsCodes) {
  struct Case {
    std::string path;
    uint32_t code;
  };
  const Case cases[] = {
      {env_.Root() + "/no-such-folder/file.bin", platform::kErrorPathNotFound},
      {env_.Root(), platform::kErrorAccessDenied},
      // The file is a program that runs: this test itself.
      {std::filesystem::read_symlink("/proc/self/exe").string(), platform::kErrorSharingViolation},
  };
  for (const Case& c : cases) {
    SharedFile file;
    uint32_t error = 0;
    EXPECT_FALSE(file.Open(c.path, &error)) << c.path;
    EXPECT_EQ(error, c.code) << c.path;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Flush());
    EXPECT_EQ(file.WriteAt(0, "x", 1), 0u);
  }
}

TEST_F(SharedFileTest, WritesAtOffsetsBeyondFourGiBLeaveAHole) {
  const std::string path = env_.Root() + "/big.bin";
  SharedFile file;
  ASSERT_TRUE(file.Open(path, nullptr));
  const int64_t offset = (int64_t{4} << 30) + 3;
  ASSERT_EQ(file.WriteAt(offset, "tail", 4), 4u);
  EXPECT_EQ(file.WriteAt(-1, "x", 1), 0u);
  EXPECT_TRUE(file.Flush());
  EXPECT_EQ(std::filesystem::file_size(path), static_cast<uintmax_t>(offset + 4));
  char back[4] = {};
  ASSERT_EQ(file.ReadAt(offset, back, 4), 4u);
  EXPECT_EQ(std::string(back, 4), "tail");
  char hole = 'x';
  ASSERT_EQ(file.ReadAt(1 << 20, &hole, 1), 1u);
  EXPECT_EQ(hole, '\0');
}

}  // namespace
}  // namespace http_test
