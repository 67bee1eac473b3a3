// The system information routines of FuntionImpl on injected machines: a
// registry store, a forced Windows version, os-release fixtures, a fake sysfs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "platform/Encoding.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using testing_support::WriteFile;

constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t kCurrentVersion32[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion";

std::string Fixture(const std::string& name) {
  return std::string(VORNIK_TEST_FIXTURES) + "/sysinfo/" + name;
}

// A Linux machine by default: no Windows version, Debian's os-release.
class SystemInfo : public ::testing::Test {
 protected:
  SystemInfo() {
    env_.SetEnv("VORNIK_WINDOWS_VERSION", "");
    env_.SetEnv("VORNIK_OS_RELEASE", Fixture("debian12.os-release"));
    env_.SetEnv("VORNIK_FORCE_32BIT_OS", "");
  }

  void SetBuild(const wchar_t* key, const wchar_t* value, const wchar_t* build) {
    ASSERT_TRUE(platform::RegSetString(platform::HKEY_LOCAL_MACHINE, key, value, build));
  }

  testing_support::TestEnvironment env_;
};

struct NameCase {
  const char* windowsVersion;
  const char* name;
  float version;
};

TEST_F(SystemInfo, DownloaderFormOfForcedWindowsVersions) {
  const NameCase cases[] = {
      {"6.3.9600", "Windows 8.1", 8.1f},
      {"10.0.19045", "Windows 10", 10.0f},
      {"10.0.22631", "Windows 10", 10.0f},  // only the registry tells Windows 11 apart
      {"4.0", "Windows NT 4.0", 0.0f},
      {"4.0,win9x", "Windows 95", 0.0f},
      {"4.10,win9x", "Windows 98", 1.0f},
      {"4.90,win9x", "Microsoft Windows Me", 2.0f},
      {"5.0.2195", "Windows 2000", 3.0f},
      {"5.1.2600", "Windows XP", 4.0f},
      {"5.2.3790", "Windows XP Professional x64 Edition", 5.0f},
      {"5.2.3790,x86", "Windows Server 2003", 5.0f},
      {"5.2.3790,server", "Windows Server 2003", 5.0f},
      {"5.2.3790,server,r2", "Windows Server 2003 R2", 5.0f},
      {"6.0.6002", "Windows Vista", 6.0f},
      {"6.0.6002,server", "Windows Server 2008", 6.0f},
      {"6.1.7601", "Windows 7", 7.0f},
      {"6.1.7601,server", "Windows Server 2008 R2", 7.0f},
      {"6.2.9200", "Windows 8", 8.0f},
      {"6.2.9200,server", "Windows Server 2012", 8.0f},
      {"6.4.9841", "", 0.0f},
      {"5.3", "", 0.0f},
      {"3.51", "Error", 0.0f},
      {"11.0", "Error", 0.0f},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.windowsVersion);
    env_.SetEnv("VORNIK_WINDOWS_VERSION", c.windowsVersion);
    float version = -1.0f;
    EXPECT_EQ(FuntionImpl::GetOSName(&version), c.name);
    EXPECT_FLOAT_EQ(version, c.version);
  }
}

TEST_F(SystemInfo, Windows11ByTheRegistryBuildNumber) {
  EXPECT_FALSE(FuntionImpl::IsWindows11());
  SetBuild(kCurrentVersion, L"CurrentBuildNumber", L"22000");
  EXPECT_TRUE(FuntionImpl::IsWindows11()) << "CurrentBuildNumber when CurrentBuild is missing";
  float version = 0.0f;
  EXPECT_EQ(FuntionImpl::GetOSName(&version), "Windows 11");
  EXPECT_FLOAT_EQ(version, 11.0f);
  env_.SetEnv("VORNIK_WINDOWS_VERSION", "10.0.22631");
  EXPECT_EQ(FuntionImpl::GetOSName(nullptr), "Windows 11");

  SetBuild(kCurrentVersion, L"CurrentBuild", L"19045");
  EXPECT_FALSE(FuntionImpl::IsWindows11()) << "CurrentBuild comes first";
  EXPECT_EQ(FuntionImpl::GetOSName(&version), "Windows 10");

  // The 32-bit view's key, once it exists, is the only one read.
  ASSERT_TRUE(platform::RegCreateKey(platform::HKEY_LOCAL_MACHINE, kCurrentVersion32));
  SetBuild(kCurrentVersion, L"CurrentBuild", L"22631");
  EXPECT_FALSE(FuntionImpl::IsWindows11());
  SetBuild(kCurrentVersion32, L"currentbuild", L"22631.3007");
  EXPECT_TRUE(FuntionImpl::IsWindows11());
  SetBuild(kCurrentVersion32, L"CurrentBuild", L"not a number");
  EXPECT_FALSE(FuntionImpl::IsWindows11());
  SetBuild(kCurrentVersion32, L"CurrentBuild", std::wstring(200, L'9').c_str());
  EXPECT_TRUE(FuntionImpl::IsWindows11());
}

TEST_F(SystemInfo, DistributionNameWithoutWindows) {
  struct Case {
    const char* fixture;
    const char* name;
    float version;
  } cases[] = {
      {"debian12.os-release", "Debian GNU/Linux 12 (bookworm)", 12.0f},
      {"no-pretty-name.os-release", "Lumix 22.04", 22.04f},
      {"hostile.os-release", "Quoted \"Edition\" \\ $HOME", 0.0f},
      {"invalid-utf8.os-release",
       "Bad\xef\xbf\xbd"
       "Byte 3.19.1",
       3.19f},
      {"missing.os-release", "", 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    env_.SetEnv("VORNIK_OS_RELEASE", Fixture(c.fixture));
    float version = -1.0f;
    EXPECT_EQ(FuntionImpl::GetOSName(&version), c.name);
    EXPECT_FLOAT_EQ(version, c.version);
  }
}

TEST_F(SystemInfo, SdkFormOfTheName) {
  env_.SetEnv("VORNIK_FORCE_32BIT_OS", "1");
  const NameCase cases[] = {
      {"", "Debian GNU/Linux 12 (bookworm)-32", 0},
      {"10.0.19045", "Windows 10-32", 0},
      {"10.0.22000", "Windows 11-32", 0},
      {"6.3.9600", "Windows 8.1-32", 0},
      {"6.1.7601", "Windows 7-32", 0},
      {"6.4", "-32", 0},
      {"11.0", "Error-32", 0},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.windowsVersion);
    env_.SetEnv("VORNIK_WINDOWS_VERSION", c.windowsVersion);
    EXPECT_EQ(FuntionImpl::GetSdkOsName(), c.name);
  }
  env_.SetEnv("VORNIK_WINDOWS_VERSION", "");
  env_.SetEnv("VORNIK_FORCE_32BIT_OS", "");
  EXPECT_EQ(FuntionImpl::GetSdkOsName(), std::string("Debian GNU/Linux 12 (bookworm)") +
                                             (FuntionImpl::IsWow64() ? "-64" : "-32"));
}

TEST_F(SystemInfo, SdkFormOfTheVersion) {
  env_.SetEnv("VORNIK_UNAME_RELEASE", "6.1.0-18-amd64");
  EXPECT_EQ(FuntionImpl::GetSdkOsVersion(), "12(6.1.0-18-amd64)");
  env_.SetEnv("VORNIK_OS_RELEASE", Fixture("missing.os-release"));
  EXPECT_EQ(FuntionImpl::GetSdkOsVersion(), "(6.1.0-18-amd64)");
  env_.SetEnv("VORNIK_UNAME_RELEASE", "");
  EXPECT_EQ(FuntionImpl::GetSdkOsVersion(), "");

  ASSERT_TRUE(platform::RegCreateKey(platform::HKEY_LOCAL_MACHINE, kCurrentVersion));
  EXPECT_EQ(FuntionImpl::GetSdkOsVersion(), "()");
  SetBuild(kCurrentVersion, L"CurrentBuildNumber", L"22631");
  SetBuild(kCurrentVersion, L"DisplayVersion", L"23H2");
  EXPECT_EQ(FuntionImpl::GetSdkOsVersion(), "23H2(22631)");
  SetBuild(kCurrentVersion, L"DisplayVersion", std::wstring(128, L'x').c_str());
  EXPECT_EQ(FuntionImpl::GetSdkOsVersion(), "(22631)") << "longer than the 128-byte buffer";
}

TEST_F(SystemInfo, Wow64FollowsTheSystemsWidth) {
  env_.SetEnv("VORNIK_FORCE_32BIT_OS", "1");
  EXPECT_FALSE(FuntionImpl::IsWow64());
  env_.SetEnv("VORNIK_FORCE_32BIT_OS", "unavailable");
  EXPECT_FALSE(FuntionImpl::IsWow64());
#if defined(__x86_64__) || defined(__aarch64__)
  env_.SetEnv("VORNIK_FORCE_32BIT_OS", "");
  EXPECT_TRUE(FuntionImpl::IsWow64()) << "a 64-bit system reports \" 64bit\"";
#endif
}

TEST_F(SystemInfo, LocaleNames) {
  struct Case {
    uint16_t languageId;
    const char* name;
  } cases[] = {
      {0x0409, "English_United States"},
      {0x1234, "0x1234_0x1234"},
      {0xabcd, "0xabcd_0xabcd"},
      {0x0000, "Neutral_Neutral"},
      {0x0414, "Norwegian_Norway (Bokm?l)"},
      {0x042f, "Macedonian (FYROM)_Macedonian (FYROM)"},
      {0x0804, "Chinese_PRC"},
      {0x0c04, "Chinese_Hong Kong SAR"},
      {0x3801, "Arabic_U.A.E."},
      {0x500a, "Spanish_Puerto Rico"},
      {0x0417, "0x0417_0x0417"},
      {0xffff, "0xffff_0xffff"},
  };
  for (const auto& c : cases) EXPECT_EQ(FuntionImpl::LocaleNameOfLanguageId(c.languageId), c.name);

  env_.SetEnv("LANGUAGE", "");
  env_.SetEnv("LC_ALL", "");
  env_.SetEnv("LC_MESSAGES", "");
  env_.SetEnv("LANG", "de_CH.UTF-8");
  EXPECT_EQ(FuntionImpl::GetLocaleName(), "German_Switzerland");
  env_.SetEnv("LANG", "C");
  EXPECT_EQ(FuntionImpl::GetLocaleName(), "English_United States");
}

TEST_F(SystemInfo, FileVersionOfTheProgramOnly) {
  const std::string expected =
      std::to_string(VORNIK_VERSION_MAJOR) + "." + std::to_string(VORNIK_VERSION_MINOR) + "." +
      std::to_string(VORNIK_VERSION_PATCH) + "." + std::to_string(VORNIK_VERSION_TWEAK);
  const std::wstring own = platform::GetModuleFilePath();
  EXPECT_EQ(FuntionImpl::GetFileVersion(own), expected);
  EXPECT_EQ(FuntionImpl::GetFileVersionW(own), platform::FromUtf8(expected));
  const FuntionImpl::FileProductInfo info = FuntionImpl::GetFileProductInfo(own);
  EXPECT_EQ(info.productVersion, platform::FromUtf8(expected));
  EXPECT_FALSE(info.productName.empty());

  const std::string plain = env_.Root() + "/plain.exe";
  WriteFile(plain, "MZ no version resource");
  for (const std::string& path : {plain, env_.Root() + "/missing.exe"}) {
    EXPECT_EQ(FuntionImpl::GetFileVersion(platform::FromUtf8(path)), "");
    EXPECT_EQ(FuntionImpl::GetFileVersionW(platform::FromUtf8(path)), L"");
    const FuntionImpl::FileProductInfo none =
        FuntionImpl::GetFileProductInfo(platform::FromUtf8(path));
    EXPECT_TRUE(none.productName.empty() && none.productVersion.empty() &&
                none.legalCopyright.empty() && none.fileDescription.empty());
  }
}

TEST_F(SystemInfo, TrafficTypes) {
  struct Case {
    int32_t siteId;
    const char* type;
  } cases[] = {{54, "CN"},   {93, "CN"},  {290, "CN"},  {354, "CN"},  {2, "PPC"},   {8, "PPC"},
               {74, "PPC"},  {84, "PPC"}, {206, "PPC"}, {293, "PPC"}, {305, "PPC"}, {338, "PPC"},
               {999, "SEO"}, {61, "SEO"}, {0, "SEO"},   {-93, "SEO"}};
  for (const auto& c : cases)
    EXPECT_EQ(FuntionImpl::TrafficTypeOfSite(c.siteId), c.type) << c.siteId;
}

TEST_F(SystemInfo, ChannelLabels) {
  struct Case {
    int32_t siteId;
    const char* url;
    const char* label;
  } cases[] = {
      {2, "https://dl.vornik.com/lumaclear_setup.exe", "Vornik-Ads"},
      {2, "https://dl.vornik.com/lumaclear_bing_setup.exe", "Vornik-Ads-Bing"},
      {2, "https://dl.vornik.com/lumaclear_BING.exe", "Vornik-Ads-Bing"},
      {2, "https://dl.vornik.com/lumaclear_yahoo.exe", "Vornik-Ads-Yahoo"},
      {2, "https://dl.vornik.com/x_yahoo_x_bing.exe", "Vornik-Ads-Bing"},  // Bing goes first
      {2, "https://dl.vornik.com/x_bingo.exe", "Vornik-Ads"},
      {8, "https://dl.vornik.com/x_Yahoo_1.exe", "Lumaclear-Ads-Yahoo"},
      {74, "https://dl.vornik.com/x_bing_1.exe", "Vornik-Search-Bing"},
      {84, "https://dl.vornik.com/x_bing.exe", "Lumaclear-Search-Bing"},
      {84, "https://dl.vornik.com/x_yahoo.exe", "Lumaclear-Search"},
      {206, "https://dl.vornik.com/x_online.exe", "Vornik-Store-Online"},
      {206, "https://dl.vornik.com/x_ONLINEstore.exe", "Vornik-Store-Online"},
      {206, "https://dl.vornik.com/x_bing.exe", "Vornik-Store"},
      {293, "https://dl.vornik.com/setup_Lumaclear.exe", "Lumaclear-Partner"},
      {293, "https://dl.vornik.com/setup_lumaclear_x.exe", "Vornik-Partner"},
      {305, "https://dl.vornik.com/setup_vornikone.exe", "VornikOne-Affiliate"},
      {305, "https://dl.vornik.com/setup.exe", "Vornik-Affiliate"},
      {61, "https://dl.vornik.com/x_bing.exe", "Vornik-Direct"},
      {93, "", "Vornik-CN-Search"},
      {999, "https://dl.vornik.com/x_bing.exe", "999"},
      {-5, "", "-5"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FuntionImpl::ChannelLabelOfSite(c.siteId, c.url), c.label)
        << c.siteId << " " << c.url;
}

TEST_F(SystemInfo, ClassificationsUseTheLoggersSiteId) {
  CSingleUserLog* logger = CSingleUserLog::GetInstance();
  logger->Init(127, 93, "1.0.0.0", "Vornik Lumaclear", "https://dl.vornik.com/x_bing.exe", false,
               2739);
  EXPECT_EQ(FuntionImpl::GetTrafficType(), "CN");
  EXPECT_EQ(FuntionImpl::GetChannelLabel("https://dl.vornik.com/x_bing.exe"), "Vornik-CN-Search");
  logger->Init(127, 999, "1.0.0.0", "Vornik Lumaclear", "", false, 2739);
  EXPECT_EQ(FuntionImpl::GetTrafficType(), "SEO");
  EXPECT_EQ(FuntionImpl::GetChannelLabel(""), "999");
  logger->Init(127, 2, "1.0.0.0", "Vornik Lumaclear", "", false, 2739);
  EXPECT_EQ(FuntionImpl::GetChannelLabel("https://dl.vornik.com/x_YAHOO.exe"), "Vornik-Ads-Yahoo");
}

TEST_F(SystemInfo, TextConversions) {
  const std::wstring wide = L"Lumaclear \u00e9\u4e2d\U0001F600";
  const std::string utf8 = "Lumaclear \xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80";
  EXPECT_EQ(FuntionImpl::UnicodeToUtf8(wide), utf8);
  EXPECT_EQ(FuntionImpl::Utf8ToUnicode(utf8), wide);
  EXPECT_EQ(FuntionImpl::AnsiToUtf8(utf8), utf8);
  EXPECT_EQ(FuntionImpl::AnsiToUtf8("a\xff"
                                    "b"),
            "a\xef\xbf\xbd"
            "b");
}

class MachineIds : public SystemInfo {
 protected:
  std::string Sysfs() const { return env_.Root() + "/sys"; }
  void SetUp() override { env_.SetEnv("VORNIK_SYSFS_ROOT", Sysfs()); }

  void AddInterface(const std::string& name, int ifindex, int type, const std::string& address) {
    const std::string folder = Sysfs() + "/class/net/" + name;
    WriteFile(folder + "/ifindex", std::to_string(ifindex) + "\n");
    WriteFile(folder + "/type", std::to_string(type) + "\n");
    WriteFile(folder + "/address", address + "\n");
  }
};

TEST_F(MachineIds, MacAddressOfTheFirstAdapter) {
  EXPECT_EQ(FuntionImpl::GetMacAddress(), "") << "no adapters";
  AddInterface("lo", 1, 772, "00:00:00:00:00:00");
  EXPECT_EQ(FuntionImpl::GetMacAddress(), "") << "loopback only";

  AddInterface("eth0", 3, 1, "00:1a:2b:3c:4d:5e");
  EXPECT_EQ(FuntionImpl::GetMacAddress(), "00:1A:2B:3C:4D:5E");

  // The first adapter's whole address, however long.
  AddInterface("fw0", 2, 24, "00:11:22:33:44:55:66:77");
  EXPECT_EQ(FuntionImpl::GetMacAddress(), "00:11:22:33:44:55:66:77");

  // A first adapter without an address: the first Ethernet adapter's six bytes.
  fs::remove_all(Sysfs() + "/class/net/fw0");
  AddInterface("tun0", 2, 65534, "");
  AddInterface("ib0", 3, 32, "80:00:02:08:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0d:c2:11");
  AddInterface("eth0", 4, 1, "00:1a:2b:3c:4d:5e:6f:70");
  EXPECT_EQ(FuntionImpl::GetMacAddress(), "00:1A:2B:3C:4D:5E");
}

TEST_F(MachineIds, VolumeGuidAndSerial) {
  env_.SetEnv("VORNIK_ROOT_FS_UUID", "0b6b8c38-5f1a-4a53-9b8e-0c2f3a1d2e4f");
  EXPECT_EQ(FuntionImpl::GetVolumeGuid(), "0b6b8c38-5f1a-4a53-9b8e-0c2f3a1d2e4f");
  EXPECT_EQ(FuntionImpl::GetVolumeSerial(), "B6B8C38");
  env_.SetEnv("VORNIK_ROOT_FS_UUID", "ABCD-1234");
  EXPECT_EQ(FuntionImpl::GetVolumeSerial(), "ABCD1234");
  env_.SetEnv("VORNIK_ROOT_FS_UUID", "");
  EXPECT_EQ(FuntionImpl::GetVolumeGuid(), "");
  EXPECT_EQ(FuntionImpl::GetVolumeSerial(), "");
}

TEST_F(MachineIds, BoardAndDisplay) {
  EXPECT_EQ(FuntionImpl::GetBoardMaker(), "");
  EXPECT_EQ(FuntionImpl::GetBoardProduct(), "");
  WriteFile(Sysfs() + "/class/dmi/id/board_vendor", "Vornik Boards Ltd.  \n");
  WriteFile(Sysfs() + "/class/dmi/id/board_name", "VB-450M\n");
  EXPECT_EQ(FuntionImpl::GetBoardMaker(), "Vornik Boards Ltd.");
  EXPECT_EQ(FuntionImpl::GetBoardProduct(), "VB-450M");

  env_.SetEnv("GDK_SCALE", "");
  env_.SetEnv("VORNIK_DISPLAY_SIZE", "1920x1080");
  int32_t width = 0, height = 0;
  EXPECT_DOUBLE_EQ(FuntionImpl::GetDisplayMode(&width, &height), 1.0);
  EXPECT_EQ(width, 1920);
  EXPECT_EQ(height, 1080);
  env_.SetEnv("VORNIK_DISPLAY_SIZE", "none");
  EXPECT_DOUBLE_EQ(FuntionImpl::GetDisplayMode(&width, &height), 0.0);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);
}

}  // namespace
