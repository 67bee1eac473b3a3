#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/Encoding.h"
#include "platform/Registry.h"
#include "support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr wchar_t kKey[] = L"SOFTWARE\\Merovalent\\Downloader2.5.0";

class RegistryTest : public ::testing::Test {
 protected:
  std::string Root() const { return env_.Root() + "/registry"; }
  std::string Hklm() const { return Root() + "/HKEY_LOCAL_MACHINE"; }
  std::string ValuesFile() const {
    return Hklm() + "/SOFTWARE/Merovalent/Downloader2.5.0/.reg-values";
  }

  std::vector<std::string> Entries(const std::string& folder) const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  testing_support::TestEnvironment env_;
};

TEST_F(RegistryTest, EveryTypeReadsBackAsWritten) {
  const std::wstring awkward =
      std::wstring(L"tab\there\nline\r\\back\\\\slash \u00e9\u4e2d\U0001F600 ") + L'\0' + L"nul";
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, kKey, L"GA_PC", L"1"));
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, kKey, L"Awkward\tname\\x", awkward));
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, kKey, L"", L"default value"));
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, kKey, L"Empty", L""));
  ASSERT_TRUE(platform::RegSetDword(HKEY_LOCAL_MACHINE, kKey, L"RequestTooMuchTimes", 0xFFFFFFFFu));
  ASSERT_TRUE(platform::RegSetQword(HKEY_LOCAL_MACHINE, kKey, L"Big", 0xFFFFFFFFFFFFFFFFull));
  const std::vector<std::wstring> items = {L"first", L"", L"with\ttab", L"last"};
  ASSERT_TRUE(platform::RegSetMultiString(HKEY_LOCAL_MACHINE, kKey, L"Pending", items));
  ASSERT_TRUE(platform::RegSetMultiString(HKEY_LOCAL_MACHINE, kKey, L"None", {}));

  std::wstring text;
  ASSERT_TRUE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"GA_PC", &text));
  EXPECT_EQ(text, L"1");
  ASSERT_TRUE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"Awkward\tname\\x", &text));
  EXPECT_EQ(text, awkward);
  ASSERT_TRUE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"", &text));
  EXPECT_EQ(text, L"default value");
  ASSERT_TRUE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"Empty", &text));
  EXPECT_EQ(text, L"");
  uint32_t dword = 0;
  ASSERT_TRUE(platform::RegQueryDword(HKEY_LOCAL_MACHINE, kKey, L"RequestTooMuchTimes", &dword));
  EXPECT_EQ(dword, 0xFFFFFFFFu);
  uint64_t qword = 0;
  ASSERT_TRUE(platform::RegQueryQword(HKEY_LOCAL_MACHINE, kKey, L"Big", &qword));
  EXPECT_EQ(qword, 0xFFFFFFFFFFFFFFFFull);
  std::vector<std::wstring> multi;
  ASSERT_TRUE(platform::RegQueryMultiString(HKEY_LOCAL_MACHINE, kKey, L"Pending", &multi));
  EXPECT_EQ(multi, items);
  ASSERT_TRUE(platform::RegQueryMultiString(HKEY_LOCAL_MACHINE, kKey, L"None", &multi));
  EXPECT_TRUE(multi.empty());
}

TEST_F(RegistryTest, ReadsFailForMissingKeysValuesAndOtherTypes) {
  ASSERT_TRUE(platform::RegSetDword(HKEY_LOCAL_MACHINE, kKey, L"Count", 7));
  std::wstring text = L"untouched";
  EXPECT_FALSE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"Count", &text));
  EXPECT_FALSE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"Missing", &text));
  EXPECT_FALSE(platform::RegQueryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Nope", L"Count", &text));
  EXPECT_EQ(text, L"untouched");
  uint64_t qword = 0;
  EXPECT_FALSE(platform::RegQueryQword(HKEY_LOCAL_MACHINE, kKey, L"Count", &qword));
  EXPECT_FALSE(platform::RegQueryDword(HKEY_LOCAL_MACHINE, kKey, L"Count", nullptr));

  // A write replaces a value of the same name whatever its type.
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, kKey, L"Count", L"8"));
  uint32_t dword = 0;
  EXPECT_FALSE(platform::RegQueryDword(HKEY_LOCAL_MACHINE, kKey, L"Count", &dword));
  ASSERT_TRUE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"Count", &text));
  EXPECT_EQ(text, L"8");
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, kKey, L"GA_PC", L"1"));
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, L"software\\MEROVALENT\\downloader2.5.0",
                                     L"ga_pc", L"2"));
  ASSERT_TRUE(platform::RegSetString(
      HKEY_LOCAL_MACHINE, L"Software\\\u00c4rger\\\u041a\u043b\u044e\u0447", L"\u0394elta", L"x"));

  std::wstring text;
  ASSERT_TRUE(platform::RegQueryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\merovalent\\DOWNLOADER2.5.0",
                                       L"Ga_Pc", &text));
  EXPECT_EQ(text, L"2");
  EXPECT_TRUE(platform::RegQueryString(
      HKEY_LOCAL_MACHINE, L"SOFTWARE\\\u00e4RGER\\\u041a\u041b\u042e\u0427", L"\u03b4ELTA", &text));
  EXPECT_EQ(Entries(Hklm()), (std::vector<std::string>{".reg-lock", "SOFTWARE"}));
  EXPECT_EQ(Entries(Hklm() + "/SOFTWARE"),
            (std::vector<std::string>{".reg-lock", "Merovalent", platform::ToUtf8(L"\u00c4rger")}));
  const std::string values = ReadFile(ValuesFile());
  EXPECT_NE(values.find("\tGA_PC\t2\n"), std::string::npos) << values;
  EXPECT_EQ(values.find("ga_pc"), std::string::npos) << values;

  std::vector<std::wstring> names;
  ASSERT_TRUE(platform::RegEnumSubKeys(HKEY_LOCAL_MACHINE, L"software", &names));
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Merovalent", L"\u00c4rger"}));
}

TEST_F(RegistryTest, KeysAreFoldersOfTheirHive) {
  ASSERT_TRUE(platform::RegSetDword(HKEY_CURRENT_USER, L"Software\\Vornik\\", L"Seen", 1));
  EXPECT_TRUE(fs::is_regular_file(Root() + "/HKEY_CURRENT_USER/Software/Vornik/.reg-values"));
  EXPECT_FALSE(platform::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Vornik"));
  EXPECT_TRUE(platform::RegKeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\VORNIK"));
  EXPECT_TRUE(platform::RegKeyExists(HKEY_CURRENT_USER, L""));

  // Without VORNIK_REGISTRY_ROOT the current user's hive lives under HOME.
  env_.SetEnv("VORNIK_REGISTRY_ROOT", "");
  env_.SetEnv("HOME", env_.Root() + "/home");
  ASSERT_TRUE(platform::RegCreateKey(HKEY_CURRENT_USER, L"Software\\Other"));
  EXPECT_TRUE(fs::is_directory(env_.Root() + "/home/.config/vornik/registry/HKEY_CURRENT_USER/"
                                             "Software/Other"));
}

TEST_F(RegistryTest, NamesThatWouldLeaveTheStoreAreRefused) {
  const std::wstring refused[] = {
      L"..",          L"SOFTWARE\\..\\..\\etc", L"a/b",
      L"\\SOFTWARE",  L"SOFTWARE\\\\x",         L"SOFTWARE\\.",
      L".reg-values", L"SOFTWARE\\.REG-lock",   std::wstring(L"a\0b", 3),
      L"a\\\\"};
  for (const std::wstring& key : refused) {
    SCOPED_TRACE(platform::ToUtf8(key));
    EXPECT_FALSE(platform::RegCreateKey(HKEY_LOCAL_MACHINE, key));
    EXPECT_FALSE(platform::RegSetString(HKEY_LOCAL_MACHINE, key, L"v", L"x"));
    EXPECT_FALSE(platform::RegKeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_FALSE(platform::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, key));
  }
  EXPECT_TRUE(Entries(Root()).empty());
  EXPECT_TRUE(Entries(env_.Root() + "/etc").empty());

  // A symbolic link planted in the store is not a key, so nothing is written through it.
  fs::create_directories(Hklm());
  fs::create_directories(env_.Root() + "/outside");
  fs::create_directory_symlink(env_.Root() + "/outside", Hklm() + "/Link");
  EXPECT_FALSE(platform::RegSetString(HKEY_LOCAL_MACHINE, L"Link\\Sub", L"v", L"x"));
  EXPECT_FALSE(platform::RegKeyExists(HKEY_LOCAL_MACHINE, L"link"));
  EXPECT_TRUE(Entries(env_.Root() + "/outside").empty());
}

TEST_F(RegistryTest, DeletingValuesAndKeyTrees) {
  const std::wstring uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, uninstall + L"\\{Lumaclear}_is1",
                                     L"Inno Setup: Language", L"ja"));
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, uninstall + L"\\{Lumaclear}_is1\\Deep",
                                     L"v", L"x"));
  ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, uninstall + L"\\Other", L"v", L"y"));

  EXPECT_TRUE(platform::RegDeleteValue(HKEY_LOCAL_MACHINE, uninstall + L"\\Other", L"V"));
  EXPECT_FALSE(platform::RegDeleteValue(HKEY_LOCAL_MACHINE, uninstall + L"\\Other", L"v"));
  EXPECT_FALSE(platform::RegDeleteValue(HKEY_LOCAL_MACHINE, uninstall + L"\\Missing", L"v"));
  std::wstring text;
  EXPECT_FALSE(platform::RegQueryString(HKEY_LOCAL_MACHINE, uninstall + L"\\Other", L"v", &text));

  EXPECT_TRUE(platform::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, uninstall + L"\\{LUMACLEAR}_IS1"));
  EXPECT_FALSE(platform::RegKeyExists(HKEY_LOCAL_MACHINE, uninstall + L"\\{Lumaclear}_is1"));
  EXPECT_FALSE(platform::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, uninstall + L"\\{Lumaclear}_is1"));
  EXPECT_FALSE(platform::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, L""));
  std::vector<std::wstring> names;
  ASSERT_TRUE(platform::RegEnumSubKeys(HKEY_LOCAL_MACHINE, uninstall, &names));
  EXPECT_EQ(names, std::vector<std::wstring>{L"Other"});
  EXPECT_FALSE(platform::RegEnumSubKeys(HKEY_LOCAL_MACHINE, uninstall + L"\\Gone", &names));
}

TEST_F(RegistryTest, WritesLeaveOnlyTheValuesFileBehind) {
  for (uint32_t i = 0; i < 5; ++i)
    ASSERT_TRUE(platform::RegSetDword(HKEY_LOCAL_MACHINE, kKey, L"Counter", i));
  EXPECT_EQ(Entries(fs::path(ValuesFile()).parent_path().string()),
            (std::vector<std::string>{".reg-lock", ".reg-values"}));
  EXPECT_EQ(fs::status(ValuesFile()).permissions() & fs::perms::others_read,
            fs::perms::others_read);
}

// A values file that is not well formed reads as no values, and the next write replaces it.
TEST_F(RegistryTest, MalformedValuesFilesReadAsEmpty) {
  static const char kBinaryLine[] = "VORNIK-REGISTRY-VALUES 1\n\0\xff\xfe\nEND\n";
  const std::string good = "VORNIK-REGISTRY-VALUES 1\nREG_SZ\tGA_PC\t1\n";
  const std::string cases[] = {
      "",
      "garbage",
      good,                                                         // no END: truncated
      good + "EN",                                                  // truncated inside END
      good + "END",                                                 // END without its line end
      good + "END\nREG_SZ\tx\ty\n",                                 // something after END
      "VORNIK-REGISTRY-VALUES 2\nEND\n",                            // another format
      "VORNIK-REGISTRY-VALUES 1\nREG_BINARY\tGA_PC\t00\nEND\n",     // unknown type
      "VORNIK-REGISTRY-VALUES 1\nREG_SZ\tGA_PC\nEND\n",             // missing data
      "VORNIK-REGISTRY-VALUES 1\nREG_SZ\tGA_PC\t1\t2\nEND\n",       // extra data
      "VORNIK-REGISTRY-VALUES 1\nREG_SZ\tGA_PC\tbad\\q\nEND\n",     // unknown escape
      "VORNIK-REGISTRY-VALUES 1\nREG_SZ\tGA_PC\tends\\\nEND\n",     // dangling escape
      "VORNIK-REGISTRY-VALUES 1\nREG_DWORD\tN\t4294967296\nEND\n",  // out of range
      "VORNIK-REGISTRY-VALUES 1\nREG_QWORD\tN\t18446744073709551616\nEND\n",
      "VORNIK-REGISTRY-VALUES 1\nREG_DWORD\tN\t-1\nEND\n",
      "VORNIK-REGISTRY-VALUES 1\nREG_DWORD\tN\t\nEND\n",
      "VORNIK-REGISTRY-VALUES 1\nREG_SZ\tGA_PC\t1\nREG_SZ\tga_pc\t2\nEND\n",  // same name twice
      std::string(kBinaryLine, sizeof kBinaryLine - 1),
      std::string(17u << 20, 'x'),  // larger than any values file
  };
  for (const std::string& content : cases) {
    SCOPED_TRACE(content.substr(0, 80));
    ASSERT_TRUE(platform::RegCreateKey(HKEY_LOCAL_MACHINE, kKey));
    WriteFile(ValuesFile(), content);
    std::wstring text;
    uint32_t number = 0;
    EXPECT_FALSE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"GA_PC", &text));
    EXPECT_FALSE(platform::RegQueryDword(HKEY_LOCAL_MACHINE, kKey, L"N", &number));
    ASSERT_TRUE(platform::RegSetString(HKEY_LOCAL_MACHINE, kKey, L"Fresh", L"yes"));
    EXPECT_TRUE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"Fresh", &text));
    EXPECT_FALSE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"GA_PC", &text));
  }
  // A folder where the values file belongs is no file of values either.
  fs::remove(ValuesFile());
  fs::create_directory(ValuesFile());
  std::wstring text;
  EXPECT_FALSE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"Fresh", &text));
  EXPECT_FALSE(platform::RegSetString(HKEY_LOCAL_MACHINE, kKey, L"Fresh", L"yes"));
}

TEST_F(RegistryTest, HandWrittenValuesFileIsRead) {
  ASSERT_TRUE(platform::RegCreateKey(HKEY_LOCAL_MACHINE, kKey));
  WriteFile(ValuesFile(),
            "VORNIK-REGISTRY-VALUES 1\n"
            "REG_SZ\tPath\tC:\\\\Program Files\\tx\\n\n"
            "REG_DWORD\tN\t42\n"
            "REG_QWORD\tQ\t0\n"
            "REG_MULTI_SZ\tM\ta\t\tb\n"
            "END\n");
  std::wstring text;
  ASSERT_TRUE(platform::RegQueryString(HKEY_LOCAL_MACHINE, kKey, L"path", &text));
  EXPECT_EQ(text, L"C:\\Program Files\tx\n");
  uint32_t number = 0;
  ASSERT_TRUE(platform::RegQueryDword(HKEY_LOCAL_MACHINE, kKey, L"N", &number));
  EXPECT_EQ(number, 42u);
  std::vector<std::wstring> items;
  ASSERT_TRUE(platform::RegQueryMultiString(HKEY_LOCAL_MACHINE, kKey, L"M", &items));
  EXPECT_EQ(items, (std::vector<std::wstring>{L"a", L"", L"b"}));
}

constexpr int kWriters = 4;
constexpr int kValuesPerWriter = 25;

std::wstring ValueName(int writer, int index) {
  return L"writer" + std::to_wstring(writer) + L"_" + std::to_wstring(index);
}

// Each writer also creates the shared key under its own spelling.
bool WriteValuesOf(int writer) {
  const std::wstring spellings[] = {L"Race\\Key", L"RACE\\KEY", L"race\\key", L"rAcE\\kEy"};
  bool ok = true;
  for (int i = 0; i < kValuesPerWriter; ++i)
    ok = platform::RegSetDword(HKEY_CURRENT_USER, spellings[writer % 4], ValueName(writer, i),
                               static_cast<uint32_t>(writer * 1000 + i)) &&
         ok;
  return ok;
}

void ExpectEveryValue(const std::string& hiveFolder) {
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int i = 0; i < kValuesPerWriter; ++i) {
      uint32_t number = 0;
      ASSERT_TRUE(
          platform::RegQueryDword(HKEY_CURRENT_USER, L"race\\KEY", ValueName(writer, i), &number))
          << writer << "/" << i;
      EXPECT_EQ(number, static_cast<uint32_t>(writer * 1000 + i));
    }
  }
  int folders = 0;
  for (const auto& entry : fs::recursive_directory_iterator(hiveFolder))
    folders += entry.is_directory() ? 1 : 0;
  EXPECT_EQ(folders, 2) << "one folder for every spelling of \"Race\\Key\"";
}

TEST_F(RegistryTest, WritersInOtherProcessesLoseNothing) {
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(WriteValuesOf(writer) ? 0 : 1);
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ExpectEveryValue(Root() + "/HKEY_CURRENT_USER");
}

TEST_F(RegistryTest, WritersOnThreadsLoseNothing) {
  std::vector<std::thread> threads;
  bool results[kWriters] = {};
  for (int writer = 0; writer < kWriters; ++writer)
    threads.emplace_back([writer, &results] { results[writer] = WriteValuesOf(writer); });
  for (std::thread& thread : threads) thread.join();
  for (bool result : results) EXPECT_TRUE(result);
  ExpectEveryValue(Root() + "/HKEY_CURRENT_USER");
}

}  // namespace
