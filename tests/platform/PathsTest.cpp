#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PlatformTestSupport.h"
#include "platform/Paths.h"
#include "support/TestEnvironment.h"

using platform_test::ScopedEnv;
using platform_test::TempFolder;
using platform_test::Wide;
using testing_support::WriteFile;

TEST(PathsTest, AppDataPrefersAppDataVariable) {
  ScopedEnv appData("APPDATA", "/data/appdata/");
  ScopedEnv xdg("XDG_DATA_HOME", "/data/xdg");
  EXPECT_EQ(platform::GetAppDataFolder(), L"/data/appdata");
}

TEST(PathsTest, AppDataFallsBackToXdgDataHome) {
  ScopedEnv appData("APPDATA", std::nullopt);
  ScopedEnv xdg("XDG_DATA_HOME", "/data/xdg");
  EXPECT_EQ(platform::GetAppDataFolder(), L"/data/xdg");
}

TEST(PathsTest, AppDataFallsBackToHome) {
  ScopedEnv appData("APPDATA", "");
  ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  ScopedEnv home("HOME", "/home/tester");
  EXPECT_EQ(platform::GetAppDataFolder(), L"/home/tester/.local/share");
}

TEST(PathsTest, AppDataWithoutHomeUsesThePasswordDatabase) {
  ScopedEnv appData("APPDATA", std::nullopt);
  ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
  ScopedEnv home("HOME", std::nullopt);
  const std::wstring folder = platform::GetAppDataFolder();
  ASSERT_GE(folder.size(), 13u);
  EXPECT_EQ(folder.substr(folder.size() - 13), L"/.local/share");
}

TEST(PathsTest, TempFolderEndsInOneSlash) {
  {
    ScopedEnv tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(platform::GetTempFolder(), L"/var/tmp/");
  }
  {
    ScopedEnv tmp("TMPDIR", "/var/tmp//");
    EXPECT_EQ(platform::GetTempFolder(), L"/var/tmp/");
  }
  {
    ScopedEnv tmp("TMPDIR", std::nullopt);
    EXPECT_EQ(platform::GetTempFolder(), L"/tmp/");
  }
  {
    ScopedEnv tmp("TMPDIR", "");
    EXPECT_EQ(platform::GetTempFolder(), L"/tmp/");
  }
}

TEST(PathsTest, RuntimeFolderNeedsAUsableFolder) {
  TempFolder temp;
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", temp.Path() + "/");
    EXPECT_EQ(platform::GetRuntimeFolder(), temp.WidePath());
  }
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", temp / "missing");
    EXPECT_EQ(platform::GetRuntimeFolder(), L"/tmp");
  }
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", "relative/folder");
    EXPECT_EQ(platform::GetRuntimeFolder(), L"/tmp");
  }
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(platform::GetRuntimeFolder(), L"/tmp");
  }
}

TEST(PathsTest, ModulePathIsThisExecutable) {
  const std::wstring path = platform::GetModuleFilePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path[0], L'/');
  EXPECT_TRUE(platform::PathExists(path));
  const std::wstring folder = platform::GetModuleFolder();
  EXPECT_EQ(folder.back(), L'/');
  EXPECT_EQ(path.compare(0, folder.size(), folder), 0);
  EXPECT_EQ(path.find(L'/', folder.size()), std::wstring::npos);
}

TEST(PathsTest, ModulePathCanBeStoodInFor) {
  platform::SetModuleFilePathForTesting(L"/opt/vornik/setup.bin");
  EXPECT_EQ(platform::GetModuleFilePath(), L"/opt/vornik/setup.bin");
  EXPECT_EQ(platform::GetModuleFolder(), L"/opt/vornik/");
  platform::SetModuleFilePathForTesting(L"");
  EXPECT_NE(platform::GetModuleFilePath(), L"/opt/vornik/setup.bin");
}

TEST(PathsTest, CreateDirectoriesMakesEveryParent) {
  TempFolder temp;
  const std::wstring deep = temp.WidePath() + L"/MVDownloader/logs/\u4e2d\u6587";
  EXPECT_TRUE(platform::CreateDirectories(deep));
  EXPECT_TRUE(platform::IsDirectory(deep));
  struct stat st {};
  ASSERT_EQ(stat((temp / "MVDownloader").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0700, 0700u);
  EXPECT_TRUE(platform::CreateDirectories(deep + L"/"));  // already there, trailing slash
  EXPECT_TRUE(platform::CreateDirectories(temp.WidePath() + L"//a//b"));
  EXPECT_TRUE(platform::IsDirectory(temp.WidePath() + L"/a/b"));
}

TEST(PathsTest, CreateDirectoriesFailsUnderAFile) {
  TempFolder temp;
  WriteFile(temp / "file", "x");
  EXPECT_FALSE(platform::CreateDirectories(Wide(temp / "file/sub")));
  EXPECT_FALSE(platform::CreateDirectories(L""));
}

TEST(PathsTest, ExistsAndIsDirectory) {
  TempFolder temp;
  WriteFile(temp / "file", "x");
  ASSERT_EQ(symlink((temp / "nowhere").c_str(), (temp / "dangling").c_str()), 0);
  EXPECT_TRUE(platform::PathExists(Wide(temp / "file")));
  EXPECT_FALSE(platform::IsDirectory(Wide(temp / "file")));
  EXPECT_TRUE(platform::PathExists(temp.WidePath()));
  EXPECT_TRUE(platform::IsDirectory(temp.WidePath()));
  EXPECT_TRUE(platform::PathExists(Wide(temp / "dangling")));
  EXPECT_FALSE(platform::IsDirectory(Wide(temp / "dangling")));
  EXPECT_FALSE(platform::PathExists(Wide(temp / "missing")));
}

TEST(PathsTest, SanitizeFileNamePart) {
  EXPECT_EQ(platform::SanitizeFileNamePart(L"ZEL_Downloader_277"), L"ZEL_Downloader_277");
  EXPECT_EQ(platform::SanitizeFileNamePart(L"a b/c\\d:e.f-g"), L"a_b_c_d_e.f-g");
  EXPECT_EQ(platform::SanitizeFileNamePart(L"\u4e2d"), L"_");
  EXPECT_EQ(platform::SanitizeFileNamePart(L""), L"");
}
