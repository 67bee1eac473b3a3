// Crashes of real programs: the dump beside the log, what an independent
// reader finds in it, the handler's log lines, and whether the hidden
// " -dmp " run is started and ships the log and the dump.
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "CrashFixture.h"

namespace crashtest {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WaitUntil;

std::string VersionText() {
  return std::to_string(VORNIK_VERSION_MAJOR) + "." + std::to_string(VORNIK_VERSION_MINOR) + "." +
         std::to_string(VORNIK_VERSION_PATCH) + "." + std::to_string(VORNIK_VERSION_TWEAK);
}

// The handler's lines, in this order, in the crashed run's log.
void ExpectHandlerLines(const std::string& log) {
  const char* lines[] = {" Exception handler entered.", " Release mutex:1, 0, 1, 0",
                         " Create dmp file:1, 0", " Write dmp file:1, 0"};
  size_t at = 0;
  for (const char* line : lines) {
    const size_t found = log.find(std::string(") ") + line + "\n", at);
    ASSERT_NE(found, std::string::npos) << line << " in\n" << log;
    at = found;
  }
}

bool HasFileLike(const std::vector<std::string>& names, const std::string& suffix) {
  for (const std::string& name : names) {
    if (name.size() >= suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      return true;
  }
  return false;
}

TEST_F(CrashTest, InstallerCrashBeforeConfigurationLeavesReadableDumpAndStartsNoRun) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  auto installer = Start(Installer(), {});
  std::string log;
  ASSERT_TRUE(WaitUntil([&] {
    log = OnlyRunLog();
    return !log.empty() && ReadFile(LogFolder() + "/" + log).find(" InstallUIMainWnd InitWindow") !=
                               std::string::npos;
  }));
  installer->Signal(SIGSEGV);
  EXPECT_EQ(installer->Wait(), -3);
  // The shipping mode is 0 until a download configuration arrives.
  EXPECT_TRUE(NoOrphanLeft());
  EXPECT_TRUE(Uploads().empty());

  const std::string logPath = LogFolder() + "/" + log;
  ExpectHandlerLines(ReadFile(logPath));
  EXPECT_FALSE(HasFileLike(FilesIn(LogFolder()), ".part"));
  std::string refusal;
  const Json::Value dump = CheckDump(logPath + ".dmp", &refusal);
  ASSERT_FALSE(dump.isNull()) << refusal;
  EXPECT_EQ(dump["exception"]["code"].asInt(), SIGSEGV);
  // Sent by another process: no fault address, no access parameters.
  EXPECT_EQ(dump["exception"]["address"].asUInt64(), 0u);
  EXPECT_EQ(dump["exception"]["parameters"].size(), 0u);
  EXPECT_EQ(dump["system"]["architecture"].asInt(), 9);
  EXPECT_TRUE(dump["crash"]["stackHoldsStackPointer"].asBool());
  EXPECT_TRUE(dump["crash"]["module"].isString()) << "no module holds the instruction pointer";
}

struct ModeCase {
  int mode;
  bool ships;
};

void PrintTo(const ModeCase& c, std::ostream* out) { *out << "mode " << c.mode; }

class CrashShipping : public CrashTest, public ::testing::WithParamInterface<ModeCase> {
 protected:
  // The crashed run's log: the one that tells of the crash test.
  std::string CrashedRunLog() const {
    for (const std::string& name : FilesIn(LogFolder())) {
      if (ReadFile(LogFolder() + "/" + name).find(" Crash test with dump shipping mode") !=
          std::string::npos)
        return name;
    }
    return "";
  }
};

TEST_P(CrashShipping, NullWriteLeavesDumpBesideLogAndShipsItOnlyInModesOneAndTwo) {
  const ModeCase c = GetParam();
  auto child = Start(CrashProgram(), {"--crash-after-log", std::to_string(c.mode)});
  ASSERT_EQ(child->Wait(), -3);
  const std::string log = CrashedRunLog();
  ASSERT_FALSE(log.empty());
  const std::string logPath = LogFolder() + "/" + log;
  const std::string dumpPath = logPath + ".dmp";
  ExpectHandlerLines(ReadFile(logPath));

  std::string refusal;
  const Json::Value dump = CheckDump(dumpPath, &refusal);
  ASSERT_FALSE(dump.isNull()) << refusal;
  EXPECT_EQ(dump["exception"]["code"].asInt(), SIGSEGV);
  EXPECT_EQ(dump["exception"]["flags"].asInt(), SEGV_MAPERR);
  EXPECT_EQ(dump["exception"]["address"].asUInt64(), 0u);
  // A write, at address 0, as Windows describes an access violation.
  ASSERT_EQ(dump["exception"]["parameters"].size(), 2u);
  EXPECT_EQ(dump["exception"]["parameters"][0].asUInt64(), 1u);
  EXPECT_EQ(dump["exception"]["parameters"][1].asUInt64(), 0u);
  EXPECT_EQ(dump["crash"]["module"].asString(), fs::canonical(CrashProgram()).string());
  // The stack holds return addresses into the program: it is the real stack.
  EXPECT_GT(dump["crash"]["stackWordsIntoModule"].asInt(), 0);

  if (!c.ships) {
    EXPECT_TRUE(NoOrphanLeft());
    EXPECT_TRUE(Uploads().empty());
    return;
  }
  EXPECT_EQ(WaitForOrphans(1, 30000), std::vector<int>{0});
  const std::vector<Upload> uploads = Uploads();
  ASSERT_EQ(uploads.size(), 1u);
  const Upload& upload = uploads[0];
  ASSERT_EQ(upload.parts.count("file"), 1u);
  EXPECT_TRUE(IsStampedName(upload.parts.at("file").fileName, "lumaclear_setup_", ".zip"))
      << upload.parts.at("file").fileName;
  EXPECT_EQ(upload.parts.at("product_id").body, "RIZovidizi2900");
  EXPECT_EQ(upload.parts.at("version").body, VersionText());
  EXPECT_EQ(upload.parts.at("catalogue").body, "CrashDmp");
  const std::map<std::string, std::string> entries{{log, ReadFile(logPath)},
                                                   {log + ".dmp", ReadFile(dumpPath)}};
  EXPECT_TRUE(upload.entries == entries);

  // Uploaded: the log and the dump stay, the copy and the archive are gone.
  const std::vector<std::string> files = FilesIn(LogFolder());
  EXPECT_FALSE(HasFileLike(files, "_copy.log"));
  EXPECT_FALSE(HasFileLike(files, ".zip"));
  EXPECT_TRUE(fs::exists(logPath));
  EXPECT_TRUE(fs::exists(dumpPath));
}

INSTANTIATE_TEST_SUITE_P(Modes, CrashShipping,
                         ::testing::Values(ModeCase{0, false}, ModeCase{1, true}, ModeCase{2, true},
                                           ModeCase{3, false}),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                           return "Mode" + std::to_string(info.param.mode);
                         });

TEST_F(CrashTest, CrashWithoutLogPutsDumpInTemporaryFolderAndStartsNoRun) {
  auto child = Start(CrashProgram(), {"--crash-without-log", "1"});
  ASSERT_EQ(child->Wait(), -3);
  // Without a log there is no log folder to ship from.
  EXPECT_TRUE(NoOrphanLeft());
  EXPECT_TRUE(Uploads().empty());
  const std::vector<std::string> files = FilesIn(TempFolder());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(IsStampedName(files[0], "127_" + VersionText() + "_", ".dmp")) << files[0];
  std::string refusal;
  EXPECT_FALSE(CheckDump(TempFolder() + "/" + files[0], &refusal).isNull()) << refusal;
}

}  // namespace
}  // namespace crashtest
