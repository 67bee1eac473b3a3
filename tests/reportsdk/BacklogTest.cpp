// The backlog file: what it reads from damaged files, how it changes, and
// that two processes updating it never lose each other's records.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/Encoding.h"
#include "reportsdk/Backlog.h"
#include "support/TestEnvironment.h"

namespace {

using reportsdk::Backlog;
using testing_support::ReadFile;
using testing_support::WriteFile;

TEST(BacklogTest, DamagedFilesReadAsTheirUsableEntries) {
  const char item[] = R"({"task_guid": "k1", "task_status": 0, "task_content": "c1"})";
  const char item2[] = R"({"task_guid": "k2", "task_status": 0, "task_content": "c2"})";
  struct Case {
    std::string text;
    size_t entries;
  };
  const Case cases[] = {
      {"", 0},
      {"garbage{", 0},
      {"[]", 0},
      {"{\"send_count\": 1}", 0},
      {"{\"send_count\": 1, \"send_item\": {}}", 0},
      {std::string("{\"send_count\": 2, \"send_item\": [") + item + "," + item2 + "]}", 2},
      {std::string("{\"send_count\": 1, \"send_item\": [") + item + "," + item2 + "]}", 1},
      {std::string("{\"send_count\": -4, \"send_item\": [") + item + "]}", 0},
      {std::string("{\"send_count\": 9, \"send_item\": [") + item + "]}", 1},
      {std::string("{\"send_count\": \"x\", \"send_item\": [") + item + "]}", 1},
      {std::string("{\"send_count\": 18446744073709551615, \"send_item\": [") + item + "]}", 1},
      {std::string("{\"send_count\": 3, \"send_item\": [5, \"s\", ") + item + "]}", 1},
      {R"({"send_count": 1, "send_item": [{"task_guid": "k", "task_status": 1e300}]})", 1},
      {std::string(R"({"send_count": 1, "send_item": [)") + item, 0},  // truncated
      {std::string(100000, '[') + std::string(100000, ']'), 0},        // hostile nesting
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Backlog::Parse(c.text).size(), c.entries);
  }
}

TEST(BacklogTest, UpdatesAddReplaceAndRemoveAndLeaveNoTemporaryFile) {
  testing_support::TestEnvironment env;
  std::filesystem::create_directories(env.Root() + "/backup");
  const std::string path = env.Root() + "/backup/tempga.wk";
  Backlog backlog(platform::FromUtf8(path));
  EXPECT_TRUE(backlog.Read().empty());
  ASSERT_TRUE(backlog.Update("k1", "c1", 0));
  ASSERT_TRUE(backlog.Update("k2", "c2", 0));
  ASSERT_TRUE(backlog.Update("k1", "c1b", 0));
  EXPECT_TRUE(backlog.Update("k9", "never stored", 2));
  auto entries = backlog.Read();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].key, "k1");
  EXPECT_EQ(entries[0].content, "c1b");
  EXPECT_EQ(entries[1].key, "k2");

  ASSERT_TRUE(backlog.Update("k1", "c1b", 2));
  entries = backlog.Read();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, "k2");
  const std::string text = ReadFile(path);
  EXPECT_NE(text.find("\"send_count\" : 1"), std::string::npos) << text;

  for (const auto& file : std::filesystem::directory_iterator(env.Root() + "/backup")) {
    const std::string name = file.path().filename().string();
    EXPECT_TRUE(name == "tempga.wk" || name == "tempga.wk.lock") << name;
  }
}

TEST(BacklogTest, AGarbageFileIsReplacedByAValidOne) {
  testing_support::TestEnvironment env;
  const std::string path = env.Root() + "/tempga.wk";
  WriteFile(path, "\x01\x02 not json");
  Backlog backlog(platform::FromUtf8(path));
  ASSERT_TRUE(backlog.Update("k", "c", 0));
  ASSERT_EQ(Backlog::Parse(ReadFile(path)).size(), 1u);
}

TEST(BacklogTest, TwoProcessesAddingRecordsAtOnceLoseNone) {
  testing_support::TestEnvironment env;
  const std::wstring path = platform::FromUtf8(env.Root() + "/tempga.wk");
  constexpr int kPerProcess = 40;
  pid_t children[2];
  for (int child = 0; child < 2; ++child) {
    children[child] = fork();
    ASSERT_GE(children[child], 0);
    if (children[child] == 0) {
      Backlog backlog(path);
      bool ok = true;
      for (int i = 0; i < kPerProcess; ++i) {
        ok = backlog.Update("p" + std::to_string(child) + "-" + std::to_string(i), "c", 0) && ok;
      }
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::set<std::string> keys;
  for (const auto& entry : Backlog(path).Read()) keys.insert(entry.key);
  EXPECT_EQ(keys.size(), 2u * kPerProcess);
}

}  // namespace
