// The program's command line and the names it gives uploaded files.
#include <gtest/gtest.h>

#include "DemoOptions.h"
#include "ReportRecorder.h"

namespace demoservices_test {
namespace {

using demoservices::DemoOptions;
using demoservices::ParseDemoOptions;

TEST(DemoOptionsTest, EveryOptionIsRead) {
  DemoOptions options;
  std::string error;
  ASSERT_TRUE(ParseDemoOptions({"--installer",
                                "/x/setup",
                                "folder",
                                "--md5",
                                "",
                                "--software-version",
                                "2.0.0.7",
                                "--install-timeout",
                                "90",
                                "--slice-num",
                                "8",
                                "--slice-size",
                                "65536",
                                "--downloader-config",
                                "2",
                                "--additional-time",
                                "30",
                                "--rate",
                                "5000000000",
                                "--configuration-status",
                                "503"},
                               &options, &error))
      << error;
  EXPECT_EQ(options.folder, "folder");
  EXPECT_EQ(options.installer, "/x/setup");
  ASSERT_TRUE(options.md5.has_value());
  EXPECT_EQ(*options.md5, "");
  EXPECT_EQ(options.softwareVersion, "2.0.0.7");
  EXPECT_EQ(options.installTimeout, 90);
  EXPECT_EQ(options.sliceNum, 8);
  EXPECT_EQ(options.sliceSize, 65536);
  EXPECT_EQ(options.downloaderConfig, 2);
  EXPECT_EQ(options.additionalTime, 30);
  EXPECT_EQ(options.bytesPerSecond, 5000000000);
  EXPECT_EQ(options.configurationStatus, 503);
}

TEST(DemoOptionsTest, DefaultsAnnounceTheFilesOwnDigest) {
  DemoOptions options;
  std::string error;
  ASSERT_TRUE(ParseDemoOptions({"folder"}, &options, &error));
  EXPECT_FALSE(options.md5.has_value());
  EXPECT_EQ(options.installer, "");
  EXPECT_EQ(options.configurationStatus, 200);
}

TEST(DemoOptionsTest, BadCommandLinesAreRefusedNamingTheArgument) {
  struct Case {
    std::vector<std::string> arguments;
    const char* error;
  };
  const Case cases[] = {
      {{}, "no FOLDER given"},
      {{"--md5", "abc"}, "no FOLDER given"},
      {{"a", "b"}, "unexpected argument \"b\""},
      {{"a", ""}, "unexpected argument \"\""},
      {{"a", "--bogus", "1"}, "unknown option --bogus"},
      {{"a", "--slice-num"}, "--slice-num needs a value"},
      {{"a", "--slice-num", "eight"}, "bad value \"eight\" for --slice-num"},
      {{"a", "--slice-num", "-1"}, "bad value \"-1\" for --slice-num"},
      {{"a", "--slice-num", "8x"}, "bad value \"8x\" for --slice-num"},
      {{"a", "--slice-num", " 8"}, "bad value \" 8\" for --slice-num"},
      {{"a", "--slice-size", "2147483648"}, "bad value \"2147483648\" for --slice-size"},
      {{"a", "--rate", "99999999999999999999"}, "bad value \"99999999999999999999\" for --rate"},
      {{"a", "--configuration-status", "99"}, "bad value \"99\" for --configuration-status"},
      {{"a", "--configuration-status", "600"}, "bad value \"600\" for --configuration-status"},
      {{"a", "--installer", ""}, "bad value \"\" for --installer"},
  };
  for (const Case& c : cases) {
    DemoOptions options;
    std::string error;
    EXPECT_FALSE(ParseDemoOptions(c.arguments, &options, &error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

TEST(SafeUploadNameTest, NameStaysInsideTheUploadsFolder) {
  struct Case {
    std::string uploadName;
    std::string saved;
  };
  const Case cases[] = {
      {"lumaclear_setup_20240102.zip", "lumaclear_setup_20240102.zip"},
      {"../../etc/passwd", "passwd"},
      {"C:\\Users\\x\\crash.dmp.zip", "crash.dmp.zip"},
      {"dir/", "upload"},
      {"", "upload"},
      {".", "upload"},
      {"..", "upload"},
      {"a b\r\n\x01.zip", "a_b___.zip"},
      {"\xe6\x97\xa5\xe5\xbf\x97.zip", "__.zip"},
      {std::string(300, 'n'), std::string(200, 'n')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(demoservices::SafeUploadName(c.uploadName), c.saved) << c.uploadName;
  }
}

}  // namespace
}  // namespace demoservices_test
