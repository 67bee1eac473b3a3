#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "DownLoadImpl.h"
#include "MD5.h"
#include "SuperviseFixture.h"
#include "platform/Encoding.h"
#include "support/TestEnvironment.h"

namespace supervise_test {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr char kEmptyDigest[] = "d41d8cd98f00b204e9800998ecf8427e";

class CheckMd5Test : public ::testing::Test {
 protected:
  std::string FilePath() const { return env_.Root() + "/lumaclear_setup.exe"; }
  std::wstring Wide(const std::string& text) const { return platform::FromUtf8(text); }
  int Check(const std::string& expected, const std::string& alternative,
            const std::string& version = "3.2.1") const {
    return CDownLoadImpl::checkMD5(Wide(FilePath()), Wide(expected), Wide(alternative),
                                   Wide(version));
  }

  testing_support::TestEnvironment env_;
  LogRecorder log_;
};

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST_F(CheckMd5Test, MatchesEitherExpectedDigestExactly) {
  const std::string bytes = Noise(3 * 1048576 + 17);
  WriteFile(FilePath(), bytes);
  const std::string digest = Md5OfText(bytes);
  const std::string other = Md5OfText("another build");
  struct Case {
    const char* name;
    std::string expected;
    std::string alternative;
    int result;
  };
  const Case cases[] = {
      {"expected", digest, other, 1},    {"alternative", other, digest, 1},
      {"neither", other, "", 0},         {"upper case", Upper(digest), Upper(digest), 0},
      {"empty expectations", "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.result, Check(c.expected, c.alternative));
  }
  EXPECT_TRUE(log_.Contains(" MD5 of file " + FilePath() + " is " + digest));
}

TEST_F(CheckMd5Test, RecordHoldsVersionAndDigestWithoutLineEnd) {
  WriteFile(FilePath(), "abc");
  WriteFile(FilePath() + ".db", std::string(500, 'x'));  // an older, longer record
  EXPECT_EQ(1, Check("900150983cd24fb0d6963f7d28e17f72", "", "3.2.1"));
  EXPECT_EQ("3.2.1###900150983cd24fb0d6963f7d28e17f72", ReadFile(FilePath() + ".db"));
}

TEST_F(CheckMd5Test, RecordIsWrittenAlsoOnMismatchWithVersionInUtf8) {
  WriteFile(FilePath(), "abc");
  EXPECT_EQ(0, Check(kEmptyDigest, "", "4.0 \xc3\xa9t\xc3\xa9"));
  EXPECT_EQ("4.0 \xc3\xa9t\xc3\xa9###900150983cd24fb0d6963f7d28e17f72",
            ReadFile(FilePath() + ".db"));
}

TEST_F(CheckMd5Test, MissingFileIsDigestedAsEmptyInputAndStillRecorded) {
  EXPECT_EQ(1, Check("0123", kEmptyDigest));
  EXPECT_TRUE(log_.Contains(" MD5 of file " + FilePath() + " is " + kEmptyDigest));
  EXPECT_EQ(std::string("3.2.1###") + kEmptyDigest, ReadFile(FilePath() + ".db"));
}

TEST_F(CheckMd5Test, UnwritableRecordIsSkipped) {
  WriteFile(FilePath(), "abc");
  std::filesystem::create_directories(FilePath() + ".db");  // a folder where the record goes
  EXPECT_EQ(1, Check("900150983cd24fb0d6963f7d28e17f72", ""));
  EXPECT_TRUE(std::filesystem::is_directory(FilePath() + ".db"));
}

}  // namespace
}  // namespace supervise_test
