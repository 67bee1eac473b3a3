// The machine facts behind the system information queries, each read from an
// injected stand-in: environment variables, a fake sysfs, a fake mount table
// and by-uuid folder, os-release fixtures.
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/BoardInfo.h"
#include "platform/DisplayMode.h"
#include "platform/Encoding.h"
#include "platform/FileVersion.h"
#include "platform/NetworkAdapters.h"
#include "platform/OsRelease.h"
#include "platform/Paths.h"
#include "platform/SystemVolume.h"
#include "platform/UiLanguage.h"
#include "platform/WindowsVersion.h"
#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using testing_support::WriteFile;

std::string Fixture(const std::string& name) {
  return std::string(VORNIK_TEST_FIXTURES) + "/sysinfo/" + name;
}

class SystemInfoTest : public ::testing::Test {
 protected:
  std::string Sysfs() const { return env_.Root() + "/sys"; }

  void AddInterface(const std::string& name, const std::string& ifindex, const std::string& type,
                    const std::string& address, bool wireless = false) {
    const std::string folder = Sysfs() + "/class/net/" + name;
    WriteFile(folder + "/ifindex", ifindex + "\n");
    WriteFile(folder + "/type", type + "\n");
    WriteFile(folder + "/address", address + "\n");
    if (wireless) fs::create_directories(folder + "/wireless");
  }

  testing_support::TestEnvironment env_;
};

// ---- Windows version ----------------------------------------------------------

TEST_F(SystemInfoTest, WindowsVersionQueriesFailUnlessForced) {
  env_.SetEnv("VORNIK_WINDOWS_VERSION", "");
  uint32_t major = 7;
  platform::WindowsVersionInfo info;
  EXPECT_FALSE(platform::GetNtVersionNumbers(&major, nullptr, nullptr));
  EXPECT_FALSE(platform::GetWindowsVersionInfo(&info));
  EXPECT_EQ(major, 7u);

  for (const char* malformed : {"10", "10.0.", "10.x", ".0", "10.0.1.2", "10.0,desktop", "10.0,",
                                "-6.3", "6.3 ", "1234567890.0"}) {
    SCOPED_TRACE(malformed);
    env_.SetEnv("VORNIK_WINDOWS_VERSION", malformed);
    EXPECT_FALSE(platform::GetNtVersionNumbers(&major, nullptr, nullptr));
    EXPECT_FALSE(platform::GetWindowsVersionInfo(&info));
  }
}

TEST_F(SystemInfoTest, ForcedWindowsVersions) {
  struct Case {
    const char* text;
    uint32_t major, minor, build, platformId;
    bool workstation, x64, r2;
  } cases[] = {
      {"10.0.19045", 10, 0, 19045, platform::kPlatformWin32Nt, true, true, false},
      {"6.3", 6, 3, 0, platform::kPlatformWin32Nt, true, true, false},
      {"6.3.9600,server", 6, 3, 9600, platform::kPlatformWin32Nt, false, true, false},
      {"5.2.3790,server,r2,x86", 5, 2, 3790, platform::kPlatformWin32Nt, false, false, true},
      {"4.10.1998,win9x", 4, 10, 1998, platform::kPlatformWin32Windows, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    env_.SetEnv("VORNIK_WINDOWS_VERSION", c.text);
    uint32_t major = 0, minor = 0, build = 0;
    ASSERT_TRUE(platform::GetNtVersionNumbers(&major, &minor, &build));
    EXPECT_EQ(major, c.major);
    EXPECT_EQ(minor, c.minor);
    EXPECT_EQ(build, c.build);
    platform::WindowsVersionInfo info;
    ASSERT_TRUE(platform::GetWindowsVersionInfo(&info));
    EXPECT_EQ(info.major, c.major);
    EXPECT_EQ(info.minor, c.minor);
    EXPECT_EQ(info.build, c.build);
    EXPECT_EQ(info.platformId, c.platformId);
    EXPECT_EQ(info.workstation, c.workstation);
    EXPECT_EQ(info.x64Processor, c.x64);
    EXPECT_EQ(info.serverR2, c.r2);
  }
}

// ---- os-release and uname ----------------------------------------------------------

TEST_F(SystemInfoTest, OsReleaseFiles) {
  struct Case {
    const char* fixture;
    const char* prettyName;
    const char* name;
    const char* versionId;
  } cases[] = {
      {"debian12.os-release", "Debian GNU/Linux 12 (bookworm)", "Debian GNU/Linux", "12"},
      {"no-pretty-name.os-release", "", "Lumix", "22.04"},
      // Broken lines are skipped, the last good assignment counts, escapes are undone.
      {"hostile.os-release", "Quoted \"Edition\" \\ $HOME", "Bad\\xff", "rolling"},
      {"invalid-utf8.os-release", "",
       "Bad\xef\xbf\xbd"
       "Byte",
       "3.19.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    env_.SetEnv("VORNIK_OS_RELEASE", Fixture(c.fixture));
    platform::OsRelease release;
    ASSERT_TRUE(platform::ReadOsRelease(&release));
    EXPECT_EQ(release.prettyName, c.prettyName);
    EXPECT_EQ(release.name, c.name);
    EXPECT_EQ(release.versionId, c.versionId);
  }
  platform::OsRelease release;
  for (const std::string& unreadable : {env_.Root() + "/missing", env_.Root()}) {
    env_.SetEnv("VORNIK_OS_RELEASE", unreadable);
    EXPECT_FALSE(platform::ReadOsRelease(&release)) << unreadable;
  }
}

TEST_F(SystemInfoTest, KernelRelease) {
  env_.SetEnv("VORNIK_UNAME_RELEASE", "6.1.0-18-amd64");
  EXPECT_EQ(platform::GetKernelRelease(), "6.1.0-18-amd64");
  unsetenv("VORNIK_UNAME_RELEASE");  // the environment puts the variable back afterwards
  utsname name{};
  ASSERT_EQ(uname(&name), 0);
  EXPECT_EQ(platform::GetKernelRelease(), name.release);
}

// ---- Interface language -------------------------------------------------------------

TEST_F(SystemInfoTest, LocalesMapToWindowsLanguageIds) {
  struct Case {
    const char* locale;
    uint16_t languageId;
  } cases[] = {
      {"en_US.UTF-8", 0x0409},
      {"en_GB.UTF-8", 0x0809},
      {"de_DE.UTF-8", 0x0407},
      {"de_CH.UTF-8", 2055},
      {"es_MX.UTF-8", 2058},
      {"zh_HK.UTF-8", 3076},
      {"zh_CN.UTF-8", 0x0804},
      {"zh_TW.UTF-8", 0x0404},
      {"pt_BR.UTF-8", 0x0416},
      {"pt_PT.UTF-8", 0x0816},
      {"fr_CA.UTF-8", 0x0c0c},
      {"es_ES.UTF-8", 0x0c0a},
      {"ja_JP.UTF-8", 0x0411},
      {"ko_KR.UTF-8", 0x0412},
      {"ar_SA.UTF-8", 0x0401},
      {"nb_NO.UTF-8", 0x0414},
      {"nn_NO.UTF-8", 0x0814},
      {"pl_PL", 1045},
      {"sr_RS", 0x0c1a},
      {"sr_RS@latin", 0x081a},
      {"uz_UZ@cyrillic", 0x0843},
      {"de_DE@euro", 0x0407},
      {"fr-CA", 0x0c0c},
      {"EN_gb.utf8", 0x0809},
      // No territory, or one the language is not known with: the language's default.
      {"de", 0x0407},
      {"de_BE.UTF-8", 0x0407},
      {"zh", 0x0804},
      {"pt", 0x0416},
      {"es", 0x0c0a},
      {"sr@latin", 0x081a},
      // No language at all, or an unknown one: English (United States).
      {"C", 0x0409},
      {"POSIX", 0x0409},
      {"C.UTF-8", 0x0409},
      {"", 0x0409},
      {"xx_YY.UTF-8", 0x0409},
      {"_@", 0x0409},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::LanguageIdOfLocale(c.locale), c.languageId) << '"' << c.locale << '"';
}

TEST_F(SystemInfoTest, LocaleVariablesInOrder) {
  struct Case {
    const char* language;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    uint16_t languageId;
    const char* region;
  } cases[] = {
      {"de_CH:fr_FR", "ja_JP.UTF-8", "ko_KR.UTF-8", "ru_RU.UTF-8", 2055, "CH"},
      {":de_CH", "ja_JP.UTF-8", "", "", 0x0411, "JP"},  // an empty first entry does not count
      {"", "", "ko_KR.UTF-8", "ru_RU.UTF-8", 0x0412, "KR"},
      {"", "", "", "es_MX.UTF-8", 2058, "MX"},
      {"", "", "", "de", 0x0407, "DE"},
      {"", "", "", "en_DK.UTF-8", 0x0409, "DK"},
      {"", "", "", "C.UTF-8", 0x0409, "US"},
      {"", "", "", "", 0x0409, "US"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.language) + "|" + c.lcAll + "|" + c.lcMessages + "|" + c.lang);
    env_.SetEnv("LANGUAGE", c.language);
    env_.SetEnv("LC_ALL", c.lcAll);
    env_.SetEnv("LC_MESSAGES", c.lcMessages);
    env_.SetEnv("LANG", c.lang);
    EXPECT_EQ(platform::GetUserDefaultUILanguage(), c.languageId);
    EXPECT_EQ(platform::GetUserRegionCode(), c.region);
  }
}

// ---- Network adapters ----------------------------------------------------------------

TEST_F(SystemInfoTest, AdaptersInIndexOrderWithoutLoopback) {
  env_.SetEnv("VORNIK_SYSFS_ROOT", Sysfs());
  AddInterface("lo", "1", "772", "00:00:00:00:00:00");
  AddInterface("wlp2s0", "3", "1", "a0:b1:c2:d3:e4:f5", true);
  AddInterface("enp3s0", "2", "1", "00:1A:2b:3c:4d:5e");
  AddInterface("fw0", "10", "24", "00:11:22:33:44:55:66:77");
  AddInterface("tun0", "4", "65534", "");
  AddInterface("broken0", "5", "1", "00:1g:22:33:44:55");
  AddInterface("ib0", "6", "32", "80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0d:c2:11");
  AddInterface("trailing0", "7", "1", "00:11:22:33:44:55:");

  const std::vector<platform::NetworkAdapter> adapters = platform::GetNetworkAdapters();
  ASSERT_EQ(adapters.size(), 7u);
  const char* order[] = {"enp3s0", "wlp2s0", "tun0", "broken0", "ib0", "trailing0", "fw0"};
  for (std::size_t i = 0; i < adapters.size(); ++i) EXPECT_EQ(adapters[i].name, order[i]);
  EXPECT_EQ(adapters[0].address, (std::vector<uint8_t>{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}));
  EXPECT_TRUE(adapters[0].ethernet);
  EXPECT_FALSE(adapters[1].ethernet) << "wireless";
  EXPECT_TRUE(adapters[2].address.empty());
  EXPECT_TRUE(adapters[3].address.empty()) << "malformed address";
  EXPECT_EQ(adapters[4].address.size(), 8u) << "Windows keeps at most 8 bytes";
  EXPECT_TRUE(adapters[5].address.empty()) << "malformed address";
  EXPECT_EQ(adapters[6].address.size(), 8u);
  EXPECT_FALSE(adapters[6].ethernet);

  env_.SetEnv("VORNIK_SYSFS_ROOT", env_.Root() + "/nothing");
  EXPECT_TRUE(platform::GetNetworkAdapters().empty());
}

// ---- System volume ----------------------------------------------------------------------

class SystemVolumeTest : public SystemInfoTest {
 protected:
  void SetUp() override {
    env_.SetEnv("VORNIK_MOUNTINFO", env_.Root() + "/mountinfo");
    env_.SetEnv("VORNIK_DISK_BY_UUID", ByUuid());
    env_.SetEnv("VORNIK_SYSFS_ROOT", Sysfs());
    fs::create_directories(ByUuid());
    Link("0a1b2c3d-0000-4000-8000-000000000001", "sda1");
    Link("1b6b8c38-5f1a-4a53-9b8e-0c2f3a1d2e4f", "sda2");
    Link("ABCD-1234", "sdb1");
    Link("f00dfeed-1111-4222-8333-444455556666", "dm-0");
    WriteFile(Sysfs() + "/class/block/dm-0/dev", "254:0\n");
  }

  std::string ByUuid() const { return env_.Root() + "/by-uuid"; }
  void Link(const std::string& uuid, const std::string& device) {
    fs::create_symlink("../../" + device, ByUuid() + "/" + uuid);
  }
  void Mounts(const std::string& lines) { WriteFile(env_.Root() + "/mountinfo", lines); }
};

TEST_F(SystemVolumeTest, UuidOfTheRootMount) {
  struct Case {
    const char* mountinfo;
    const char* uuid;  // null: none found
  } cases[] = {
      {"1 0 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
       "2 1 8:1 / /boot rw - ext4 /dev/sda1 rw\n",
       "1b6b8c38-5f1a-4a53-9b8e-0c2f3a1d2e4f"},
      // The last mount of "/" hides the earlier ones.
      {"1 0 8:2 / / rw - ext4 /dev/sda2 rw\n30 1 8:17 / / rw - vfat /dev/sdb1 rw\n", "ABCD-1234"},
      // A source the kernel calls /dev/root is found by its device numbers.
      {"1 0 254:0 / / rw - ext4 /dev/root rw\n", "f00dfeed-1111-4222-8333-444455556666"},
      {"1 0 0:31 / / rw - overlay overlay rw\n", nullptr},
      {"1 0 8:3 / / rw - ext4 /dev/sda3 rw\n", nullptr},
      {"garbage\n", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mountinfo);
    Mounts(c.mountinfo);
    std::string uuid = "untouched";
    EXPECT_EQ(platform::GetSystemVolumeUuid(&uuid), c.uuid != nullptr);
    if (c.uuid) {
      EXPECT_EQ(uuid, c.uuid);
    }
  }
}

TEST_F(SystemVolumeTest, SerialIsTheFirstThirtyTwoBits) {
  struct Case {
    const char* uuid;
    bool found;
    uint32_t serial;
  } cases[] = {
      {"1b6b8c38-5f1a-4a53-9b8e-0c2f3a1d2e4f", true, 0x1b6b8c38},
      {"ABCD-1234", true, 0xABCD1234},  // FAT: exactly its serial number
      {"0000abcd-0000-4000-8000-000000000000", true, 0xabcd},
      {"0123456789ABCDEF", true, 0x01234567},  // NTFS
      {"ABC-1234", false, 0},
      {"zzzzzzzz-0000", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.uuid);
    env_.SetEnv("VORNIK_ROOT_FS_UUID", c.uuid);
    uint32_t serial = 0;
    EXPECT_EQ(platform::GetSystemVolumeSerial(&serial), c.found);
    EXPECT_EQ(serial, c.serial);
    std::string uuid;
    EXPECT_EQ(platform::GetSystemVolumeUuid(&uuid), c.uuid[0] != '\0');
  }
}

// ---- Board, display, version resource -------------------------------------------------

TEST_F(SystemInfoTest, BoardTextsFromDmi) {
  env_.SetEnv("VORNIK_SYSFS_ROOT", Sysfs());
  EXPECT_EQ(platform::GetBoardVendor(), "");
  EXPECT_EQ(platform::GetBoardName(), "");
  WriteFile(Sysfs() + "/class/dmi/id/board_vendor", "  ASUSTeK COMPUTER INC.\t \nsecond line\n");
  WriteFile(Sysfs() + "/class/dmi/id/board_name", "PRIME \xff B450M\n");
  EXPECT_EQ(platform::GetBoardVendor(), "ASUSTeK COMPUTER INC.");
  EXPECT_EQ(platform::GetBoardName(), "PRIME \xef\xbf\xbd B450M");
  WriteFile(Sysfs() + "/class/dmi/id/board_name", std::string(100000, 'x'));
  EXPECT_EQ(platform::GetBoardName().size(), 256u);
}

TEST_F(SystemInfoTest, DisplayModeIsForcedOrAbsent) {
  env_.SetEnv("GDK_SCALE", "");
  struct Case {
    const char* size;
    const char* scale;
    bool present;
    int32_t width, height;
    double expectedScale;
  } cases[] = {
      {"1920x1080", "", true, 1920, 1080, 1.0},
      {"3840x2160", "2", true, 3840, 2160, 2.0},
      {"1366x768", "1.5", true, 1366, 768, 1.0},  // GTK scales by whole numbers only
      {"none", "", false, 0, 0, 0.0},
      {"1920", "", false, 0, 0, 0.0},
      {"0x1080", "", false, 0, 0, 0.0},
      {"1920x1080x2", "", false, 0, 0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    env_.SetEnv("VORNIK_DISPLAY_SIZE", c.size);
    env_.SetEnv("GDK_SCALE", c.scale);
    platform::DisplayMode mode;
    EXPECT_EQ(platform::GetDisplayMode(&mode), c.present);
    EXPECT_EQ(mode.width, c.width);
    EXPECT_EQ(mode.height, c.height);
    EXPECT_DOUBLE_EQ(mode.scale, c.expectedScale);
  }
  unsetenv("VORNIK_DISPLAY_SIZE");
  env_.SetEnv("DISPLAY", "");
  platform::DisplayMode mode;
  EXPECT_FALSE(platform::GetDisplayMode(&mode)) << "no X display to ask";
}

class FileVersionTest : public SystemInfoTest {
 protected:
  void TearDown() override { platform::SetModuleFilePathForTesting(L""); }
};

TEST_F(FileVersionTest, OnlyTheProgramsOwnFileCarriesAVersion) {
  const std::string own = env_.Root() + "/setup.exe";
  WriteFile(own, "program");
  WriteFile(env_.Root() + "/other.exe", "program");
  fs::create_symlink(own, env_.Root() + "/link.exe");
  platform::SetModuleFilePathForTesting(platform::FromUtf8(own));

  for (const char* name : {"/setup.exe", "/link.exe", "/./setup.exe"}) {
    SCOPED_TRACE(name);
    const std::wstring path = platform::FromUtf8(env_.Root() + name);
    platform::FileVersionNumbers version;
    ASSERT_TRUE(platform::GetFileVersionNumbers(path, &version));
    EXPECT_EQ(version.major, VORNIK_VERSION_MAJOR);
    EXPECT_EQ(version.minor, VORNIK_VERSION_MINOR);
    EXPECT_EQ(version.patch, VORNIK_VERSION_PATCH);
    EXPECT_EQ(version.tweak, VORNIK_VERSION_TWEAK);
    platform::FileVersionStrings strings;
    ASSERT_TRUE(platform::GetFileVersionStrings(path, &strings));
    EXPECT_FALSE(strings.productName.empty());
    EXPECT_FALSE(strings.legalCopyright.empty());
    EXPECT_FALSE(strings.fileDescription.empty());
    EXPECT_EQ(strings.productVersion, std::to_wstring(VORNIK_VERSION_MAJOR) + L"." +
                                          std::to_wstring(VORNIK_VERSION_MINOR) + L"." +
                                          std::to_wstring(VORNIK_VERSION_PATCH) + L"." +
                                          std::to_wstring(VORNIK_VERSION_TWEAK));
  }
  for (const std::string& other :
       {env_.Root() + "/other.exe", env_.Root() + "/missing.exe", std::string()}) {
    SCOPED_TRACE(other);
    platform::FileVersionNumbers version;
    platform::FileVersionStrings strings;
    EXPECT_FALSE(platform::GetFileVersionNumbers(platform::FromUtf8(other), &version));
    EXPECT_FALSE(platform::GetFileVersionStrings(platform::FromUtf8(other), &strings));
  }
}

}  // namespace
