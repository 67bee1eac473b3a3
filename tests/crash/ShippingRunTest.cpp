// The "-dmp " and "-close" runs of the installer: what goes into the
// archive, how it is uploaded, and what stays in the log folder afterwards.
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "CrashFixture.h"
#include "DeploymentValues.h"
#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"

namespace crashtest {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr char kLog[] = "lumaclear_setup_20260102030405006.log";

struct ShippingCase {
  const char* name;
  std::vector<std::string> arguments;
  std::vector<std::string> filesBefore;  // in the log folder; each holds its own name
  int status;                            // the service's answer
  const char* catalogue;
  std::vector<std::string> entries;
  bool uploaded;
};

void PrintTo(const ShippingCase& c, std::ostream* out) { *out << c.name; }

class ShippingRuns : public CrashTest, public ::testing::WithParamInterface<ShippingCase> {};

std::vector<std::string> Matching(const std::vector<std::string>& names,
                                  const std::string& suffix) {
  std::vector<std::string> found;
  for (const std::string& name : names) {
    if (name.size() >= suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      found.push_back(name);
  }
  return found;
}

TEST_P(ShippingRuns, PackUploadAndCleanUp) {
  const ShippingCase& c = GetParam();
  for (const std::string& file : c.filesBefore) WriteFile(LogFolder() + "/" + file, file + " text");
  LogUploadService().SetHandler(
      [&c](const localserver::Request&) { return localserver::Reply::Status(c.status); });

  auto run = Start(Installer(), c.arguments);
  EXPECT_EQ(run->Wait(), 0);
  const std::vector<Upload> uploads = Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  const Upload& upload = uploads[0];
  ASSERT_EQ(upload.parts.count("file"), 1u);
  EXPECT_TRUE(IsStampedName(upload.parts.at("file").fileName, "lumaclear_setup_", ".zip"));
  EXPECT_EQ(upload.parts.at("catalogue").body, c.catalogue);
  std::map<std::string, std::string> expected;
  for (const std::string& entry : c.entries) expected[entry] = entry + " text";
  EXPECT_TRUE(upload.entries == expected) << upload.entries.size() << " entries";

  const std::vector<std::string> after = FilesIn(LogFolder());
  for (const std::string& file : c.filesBefore) EXPECT_TRUE(fs::exists(LogFolder() + "/" + file));
  if (c.uploaded) {
    EXPECT_TRUE(Matching(after, "_copy.log").empty());
    EXPECT_TRUE(Matching(after, ".zip").empty());
  } else {
    // Kept for nobody to retry, but kept: the copy and the whole archive.
    EXPECT_EQ(Matching(after, "_copy.log"),
              std::vector<std::string>{std::string(kLog) + "_copy.log"});
    const std::vector<std::string> archives = Matching(after, ".zip");
    ASSERT_EQ(archives.size(), 1u);
    std::map<std::string, std::string> kept;
    EXPECT_TRUE(ReadArchive(ReadFile(LogFolder() + "/" + archives[0]), &kept));
    EXPECT_TRUE(kept == expected);
  }
}

const std::string kDump = std::string(kLog) + ".dmp";

INSTANTIATE_TEST_SUITE_P(Runs, ShippingRuns,
                         ::testing::Values(ShippingCase{"CloseRunShipsOnlyTheLog",
                                                        {"-close07", kLog},
                                                        {kLog, kDump},
                                                        200,
                                                        "close07",
                                                        {kLog},
                                                        true},
                                           ShippingCase{"CrashRunShipsLogAndItsDump",
                                                        {"-dmp", kLog},
                                                        {kLog, kDump, "other_1.log.dmp"},
                                                        200,
                                                        "CrashDmp",
                                                        {kLog, kDump},
                                                        true},
                                           ShippingCase{"CrashRunWithoutItsDumpShipsEveryDump",
                                                        {"-dmp", kLog},
                                                        {kLog, "a_1.log.dmp", "B.DMP", "notes.txt"},
                                                        200,
                                                        "CrashDmp",
                                                        {kLog, "B.DMP", "a_1.log.dmp"},
                                                        true},
                                           ShippingCase{"FailedCrashUploadKeepsCopyAndArchive",
                                                        {"-dmp", kLog},
                                                        {kLog, kDump},
                                                        500,
                                                        "CrashDmp",
                                                        {kLog, kDump},
                                                        false},
                                           ShippingCase{"FailedCloseUploadKeepsCopyAndArchive",
                                                        {"-close03", kLog},
                                                        {kLog},
                                                        503,
                                                        "close03",
                                                        {kLog},
                                                        false}),
                         [](const ::testing::TestParamInfo<ShippingCase>& info) {
                           return info.param.name;
                         });

// A name from the command line that leaves the log folder is not read.
TEST_F(CrashTest, ShippingRunRefusesNamesOutsideTheLogFolder) {
  WriteFile(env_.AppData() + "/MVDownloader/logs/secret.log", "secret");
  WriteFile(LogFolder() + "/sub/x.log", "x");
  for (const char* name : {"../secret.log", "sub/x.log", ".."}) {
    auto run = Start(Installer(), {"-dmp", name});
    EXPECT_EQ(run->Wait(), 0) << name;
  }
  EXPECT_TRUE(Uploads().empty());
  EXPECT_TRUE(Matching(FilesIn(LogFolder()), ".zip").empty());
  EXPECT_TRUE(Matching(FilesIn(LogFolder()), "_copy.log").empty());
}

// The routine in this process, for what the command line cannot give: an
// extra file, no log folder, a log folder that has gone.
class PackAndUpload : public CrashTest {
 protected:
  void SetUp() override {
    CrashTest::SetUp();
    deployment::ReloadForTesting();
    CSingleUserLog::GetInstance()->ResetForTesting();
  }
  void TearDown() override {
    CSingleUserLog::GetInstance()->ResetForTesting();
    CrashTest::TearDown();
    deployment::ReloadForTesting();
  }
};

TEST_F(PackAndUpload, AddsAnExtraFileThatExistsUnderItsName) {
  CSingleUserLog::GetInstance()->InitLogPath(L"lumaclear_setup");
  WriteFile(LogFolder() + "/" + kLog, "log");
  WriteFile(env_.Root() + "/extra/report.txt", "extra");
  EXPECT_EQ(FuntionImpl::PackAndUploadLogs(false, platform::FromUtf8(kLog), "",
                                           platform::FromUtf8(env_.Root() + "/extra/report.txt")),
            0);
  EXPECT_EQ(FuntionImpl::PackAndUploadLogs(false, platform::FromUtf8(kLog), "close01",
                                           platform::FromUtf8(env_.Root() + "/extra/gone.txt")),
            0);
  const std::vector<Upload> uploads = Uploads();
  ASSERT_EQ(uploads.size(), 2u);
  EXPECT_TRUE((uploads[0].entries ==
               std::map<std::string, std::string>{{kLog, "log"}, {"report.txt", "extra"}}));
  // An empty reason is sent as "default".
  EXPECT_EQ(uploads[0].parts.at("catalogue").body, "default");
  EXPECT_TRUE((uploads[1].entries == std::map<std::string, std::string>{{kLog, "log"}}));
}

TEST_F(PackAndUpload, WithoutALogFolderNothingIsMadeOrSent) {
  // An empty folder would put the copy and the archive in the working folder.
  const std::vector<std::string> before = FilesIn(fs::current_path().string());
  EXPECT_EQ(FuntionImpl::PackAndUploadLogs(true, platform::FromUtf8(kLog), "CrashDmp", L""), -1);
  EXPECT_TRUE(Uploads().empty());
  EXPECT_EQ(FilesIn(fs::current_path().string()), before);
}

TEST_F(PackAndUpload, ALogFolderThatHasGoneGivesNoArchive) {
  CSingleUserLog::GetInstance()->InitLogPath(L"lumaclear_setup");
  fs::remove_all(LogFolder());
  EXPECT_EQ(FuntionImpl::PackAndUploadLogs(true, platform::FromUtf8(kLog), "CrashDmp", L""), -1);
  EXPECT_TRUE(Uploads().empty());
}

}  // namespace
}  // namespace crashtest
