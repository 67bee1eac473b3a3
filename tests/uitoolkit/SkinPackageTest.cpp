#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "TestZip.h"
#include "uitoolkit/ResourcePackage.h"
#include "uitoolkit/SkinPackage.h"

namespace {

using uitest::TestZip;

std::string AsText(const std::vector<unsigned char>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class SkinPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_ = TestZip()
                 .Add("skin/combo_over.png", "combo")
                 .Add("skin/btn_start_now.png", "start")
                 .Add("InstallMainWnd.xml", "<Window/>")
                 .Add("language/", "")
                 .Add("language/language_english.xml", "english")
                 .Build();
    ASSERT_FALSE(bytes_.empty());
    ASSERT_TRUE(package_.Open(bytes_.data(), bytes_.size()));
  }

  std::vector<unsigned char> bytes_;
  ui::SkinPackage package_;
};

TEST_F(SkinPackageTest, LookupIgnoresSeparatorAndLetterCase) {
  const struct {
    const wchar_t* asked;
    const char* content;
  } cases[] = {
      {L"skin\\Combo_over.png", "combo"},
      {L"skin\\btn_Start_now.png", "start"},
      {L"SKIN/COMBO_OVER.PNG", "combo"},
      {L"installmainwnd.xml", "<Window/>"},
      {L"Language\\language_English.xml", "english"},
  };
  for (const auto& c : cases) {
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(package_.HasEntry(c.asked)) << c.asked;
    ASSERT_TRUE(package_.ReadEntry(c.asked, &bytes)) << c.asked;
    EXPECT_EQ(c.content, AsText(bytes)) << c.asked;
  }
}

TEST_F(SkinPackageTest, MissingEntriesAndFoldersReadAsFalse) {
  std::vector<unsigned char> bytes = {1, 2, 3};
  EXPECT_FALSE(package_.ReadEntry(L"skin/combo_over.bmp", &bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(package_.ReadEntry(L"language/", &bytes));
  EXPECT_FALSE(package_.ReadEntry(L"", &bytes));
  EXPECT_FALSE(package_.HasEntry(L"skin/combo_over"));
}

TEST_F(SkinPackageTest, ListsStoredNamesAsStored) {
  const std::vector<std::wstring> names = package_.EntryNames();
  ASSERT_EQ(5u, names.size());
  EXPECT_EQ(L"skin/combo_over.png", names[0]);
  EXPECT_EQ(L"language/", names[3]);
}

TEST_F(SkinPackageTest, ParallelReadersGetWholeEntries) {
  std::vector<std::thread> readers;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([this, t, &failures] {
      for (int i = 0; i < 200; ++i) {
        std::vector<unsigned char> bytes;
        const bool ok =
            package_.ReadEntry(i % 2 ? L"skin/combo_over.png" : L"InstallMainWnd.xml", &bytes);
        if (!ok || AsText(bytes) != (i % 2 ? "combo" : "<Window/>")) ++failures[t];
      }
    });
  }
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(std::vector<int>(4, 0), failures);
}

TEST(SkinPackageOpenTest, NonArchivesAreRefused) {
  const std::vector<unsigned char> good = TestZip().Add("a.xml", "<a/>").Build();
  ASSERT_FALSE(good.empty());
  const std::string garbage = "this is not a zip archive at all, just some text";
  const std::vector<std::vector<unsigned char>> inputs = {
      {},
      std::vector<unsigned char>(garbage.begin(), garbage.end()),
      std::vector<unsigned char>(good.begin(), good.begin() + good.size() / 2),
      std::vector<unsigned char>(good.begin() + 4, good.end()),
  };
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    ui::SkinPackage package;
    EXPECT_FALSE(package.Open(inputs[i].data(), inputs[i].size())) << "input " << i;
    EXPECT_FALSE(package.IsOpen());
    std::vector<unsigned char> bytes;
    EXPECT_FALSE(package.ReadEntry(L"a.xml", &bytes));
    EXPECT_TRUE(package.EntryNames().empty());
  }
}

TEST(SkinPackageOpenTest, DamagedEntryDataFailsToRead) {
  std::vector<unsigned char> bytes = TestZip().Add("a.txt", "hello world", false).Build();
  const std::string text(bytes.begin(), bytes.end());
  const auto at = text.find("hello world");
  ASSERT_NE(std::string::npos, at);
  bytes[at] = 'j';  // the checksum no longer matches
  ui::SkinPackage package;
  ASSERT_TRUE(package.Open(bytes.data(), bytes.size()));
  std::vector<unsigned char> content;
  EXPECT_FALSE(package.ReadEntry(L"a.txt", &content));
  EXPECT_TRUE(content.empty());
}

TEST(ResourcePackageTest, FailedSetKeepsTheCurrentPackageAndOldPointersStayValid) {
  static const std::vector<unsigned char> first = TestZip().Add("one.xml", "1").Build();
  static const std::vector<unsigned char> second = TestZip().Add("two.xml", "2").Build();
  ASSERT_TRUE(ui::SetResourcePackage(first.data(), first.size()));
  const ui::SkinPackage* current = ui::GetResourcePackage();
  ASSERT_NE(nullptr, current);
  EXPECT_TRUE(current->HasEntry(L"ONE.xml"));

  const char junk[] = "junk";
  EXPECT_FALSE(ui::SetResourcePackage(junk, sizeof junk));
  EXPECT_EQ(current, ui::GetResourcePackage());

  ASSERT_TRUE(ui::SetResourcePackage(second.data(), second.size()));
  EXPECT_TRUE(ui::GetResourcePackage()->HasEntry(L"two.xml"));
  EXPECT_TRUE(current->HasEntry(L"one.xml"));  // retired, not destroyed
}

}  // namespace
