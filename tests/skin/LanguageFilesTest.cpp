#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "LanguageTable.h"
#include "LanguageTextParts.h"
#include "platform/Resource.h"
#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/ResourcePackage.h"
#include "uitoolkit/SkinPackage.h"
#include "uitoolkit/TextMarkup.h"

namespace skin_test {
void PrintTo(const LanguageFiles& row, std::ostream* os) { *os << row.name; }
}  // namespace skin_test

namespace {

using skin_test::BraceTags;
using skin_test::kLanguageFiles;
using skin_test::LanguageFiles;
using skin_test::PrintfConversions;

constexpr std::size_t kNone = std::wstring::npos;
const wchar_t* const kSections[] = {L"install_page", L"message_page"};
const wchar_t kProduct[] = L"Vornik Lumaclear";

bool UseEmbeddedSkin() {
  static const bool ready = [] {
    platform::ResourceBytes bytes;
    return platform::LoadResourceBytes(L"ZIPRES", 138, &bytes) &&
           ui::SetResourcePackage(bytes.data, bytes.size);
  }();
  return ready;
}

// One section as the program reads it. Duplicate keys and children that are
// no named labels are kept as problems: the window would silently take one of
// the duplicates and skip the others.
struct SectionTexts {
  std::map<std::wstring, std::wstring> texts;
  std::vector<std::wstring> problems;
};

// A language file built the way the window and the dialogs build it.
struct LanguageFile {
  std::unique_ptr<ui::Control> root;
  std::map<std::wstring, SectionTexts> sections;

  const SectionTexts& Section(const std::wstring& name) const {
    static const SectionTexts kMissing;
    const auto found = sections.find(name);
    return found == sections.end() ? kMissing : found->second;
  }
  const std::wstring* Text(const std::wstring& section, const std::wstring& key) const {
    const SectionTexts& texts = Section(section);
    const auto found = texts.texts.find(key);
    return found == texts.texts.end() ? nullptr : &found->second;
  }
};

std::wstring PackagePath(const LanguageFiles& row) {
  return std::wstring(L"language\\") + row.file;
}

SectionTexts ReadSection(const ui::Control& section) {
  SectionTexts out;
  for (std::size_t i = 0; i < section.GetCount(); ++i) {
    const ui::Control* label = section.GetItemAt(i);
    const std::wstring& key = label->GetName();
    if (label->GetClass() != L"Label" || key.empty()) {
      out.problems.push_back(L"not a named Label: " + label->GetClass() + L" " + key);
    } else if (!out.texts.emplace(key, label->GetText()).second) {
      out.problems.push_back(L"key given twice: " + key);
    }
  }
  return out;
}

LanguageFile Load(const LanguageFiles& row) {
  LanguageFile file;
  file.root = ui::BuildFreeStandingTree(PackagePath(row));
  if (file.root == nullptr || file.root->GetCount() != 1) return file;
  const ui::Control* layout = file.root->GetItemAt(0);
  for (std::size_t i = 0; i < layout->GetCount(); ++i) {
    const ui::Control* section = layout->GetItemAt(i);
    file.sections[section->GetName()] = ReadSection(*section);
  }
  return file;
}

std::vector<std::wstring> KeysOnlyIn(const SectionTexts& these, const SectionTexts& others) {
  std::vector<std::wstring> keys;
  for (const auto& entry : these.texts) {
    if (others.texts.count(entry.first) == 0) keys.push_back(entry.first);
  }
  return keys;
}

std::size_t Count(const std::wstring& text, const std::wstring& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != kNone; at = text.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

// The window hands install_label and space_free exactly one double; any other
// conversion would read an argument that is not there.
bool TakesOneDouble(const std::wstring& format) {
  int doubles = 0;
  for (const std::wstring& conversion : PrintfConversions(format)) {
    if (conversion == L"%%") continue;
    if (conversion.find_first_of(L"*hlLqjzt") != kNone ||
        std::wcschr(L"fFeEgGaA", conversion.back()) == nullptr) {
      return false;
    }
    ++doubles;
  }
  return doubles == 1;
}

std::wstring Format(const std::wstring& format, double value) {
  std::vector<wchar_t> buffer(4096);
  const int written = std::swprintf(buffer.data(), buffer.size(), format.c_str(), value);
  return written < 0 ? std::wstring() : std::wstring(buffer.data(), written);
}

std::wstring Shown(const std::wstring& text) { return ui::PlainText(ui::ParseTextMarkup(text)); }

class LanguageFileTest : public ::testing::TestWithParam<LanguageFiles> {
 protected:
  void SetUp() override { ASSERT_TRUE(UseEmbeddedSkin()) << "no embedded skin package"; }

  // Calls check(section, key, English text, this language's text) for every
  // English key that this language has; missing keys are another test's finding.
  template <typename Check>
  void ForEachText(Check check) const {
    const LanguageFile english = Load(kLanguageFiles[LangEnglish]);
    const LanguageFile translated = Load(GetParam());
    for (const wchar_t* section : kSections) {
      for (const auto& entry : english.Section(section).texts) {
        if (const std::wstring* text = translated.Text(section, entry.first)) {
          check(section, entry.first, entry.second, *text);
        }
      }
    }
  }
};

TEST_P(LanguageFileTest, IsInThePackageWithItsLayoutAndBothSections) {
  const LanguageFiles& row = GetParam();
  EXPECT_TRUE(ui::GetResourcePackage()->HasEntry(PackagePath(row)));
  const LanguageFile file = Load(row);
  ASSERT_NE(nullptr, file.root) << "missing, not well-formed or without controls";
  ASSERT_EQ(1u, file.root->GetCount()) << "the root holds exactly the language's layout";
  const ui::Control* layout = file.root->GetItemAt(0);
  EXPECT_EQ(row.layout, layout->GetName());
  EXPECT_EQ(2u, layout->GetCount());
  for (const wchar_t* section : kSections) {
    EXPECT_EQ(1u, file.sections.count(section)) << section;
  }
}

TEST_P(LanguageFileTest, HasExactlyTheKeysOfEnglish) {
  const LanguageFile english = Load(kLanguageFiles[LangEnglish]);
  const LanguageFile translated = Load(GetParam());
  for (const wchar_t* section : kSections) {
    const SectionTexts& theirs = english.Section(section);
    const SectionTexts& ours = translated.Section(section);
    EXPECT_EQ(std::vector<std::wstring>{}, ours.problems) << section;
    EXPECT_EQ(std::vector<std::wstring>{}, KeysOnlyIn(theirs, ours)) << section << ": missing";
    EXPECT_EQ(std::vector<std::wstring>{}, KeysOnlyIn(ours, theirs)) << section << ": unknown";
  }
}

TEST_P(LanguageFileTest, KeepsThePrintfConversionsOfEnglish) {
  ForEachText([](const std::wstring& section, const std::wstring& key, const std::wstring& english,
                 const std::wstring& text) {
    EXPECT_EQ(PrintfConversions(english), PrintfConversions(text)) << section << " " << key;
  });
}

TEST_P(LanguageFileTest, KeepsTheMarkupOfEnglish) {
  ForEachText([](const std::wstring& section, const std::wstring& key, const std::wstring& english,
                 const std::wstring& text) {
    EXPECT_EQ(BraceTags(english), BraceTags(text)) << section << " " << key;
    // A tag the toolkit does not read would be shown to the user as it is.
    EXPECT_EQ(kNone, Shown(text).find_first_of(L"{}")) << section << " " << key;
  });
}

TEST_P(LanguageFileTest, FillsTheSameTextsAsEnglish) {
  ForEachText([](const std::wstring& section, const std::wstring& key, const std::wstring& english,
                 const std::wstring& text) {
    // An empty English text is a hidden or unused slot; an empty translation
    // of a shown one is a blank button or message.
    EXPECT_EQ(english.empty(), text.empty()) << section << " " << key;
    // The SSD dialog puts the drive letter where "**1**" stands.
    EXPECT_EQ(Count(english, L"**1**"), Count(text, L"**1**")) << section << " " << key;
    if (english.find(kProduct) != kNone) {
      EXPECT_NE(kNone, text.find(kProduct)) << section << " " << key << ": product name";
    }
  });
}

TEST_P(LanguageFileTest, FormatsFillAsTheWindowFillsThem) {
  const LanguageFile file = Load(GetParam());
  const std::wstring* progress = file.Text(L"install_page", L"install_label");
  const std::wstring* space = file.Text(L"install_page", L"space_free");
  ASSERT_NE(nullptr, progress);
  ASSERT_NE(nullptr, space);
  // Formatting with any other conversions would be undefined behaviour, so stop here.
  ASSERT_TRUE(TakesOneDouble(*progress)) << *progress;
  ASSERT_TRUE(TakesOneDouble(*space)) << *space;

  const std::wstring shownProgress = Shown(Format(*progress, 45.0));
  EXPECT_NE(kNone, shownProgress.find(L"45")) << shownProgress;
  EXPECT_EQ(1u, Count(shownProgress, L"%")) << shownProgress;
  const std::wstring shownSpace = Format(*space, 12.34);
  EXPECT_NE(kNone, shownSpace.find(L"12.3")) << shownSpace;
}

TEST_P(LanguageFileTest, LicenceIsInTheSkinUnderItsName) {
  const LanguageFiles& row = GetParam();
  const std::unique_ptr<ui::Control> licences = ui::BuildFreeStandingTree(L"License.xml");
  ASSERT_NE(nullptr, licences);
  const ui::Control* licence = ui::FindControl(licences.get(), row.licence);
  ASSERT_NE(nullptr, licence) << "License.xml has no control of that name";
  EXPECT_EQ(L"RichEdit", licence->GetClass());
  EXPECT_NE(kNone, licence->GetText().find(kProduct));
  if (row.language != LangEnglish) {
    const ui::Control* english = ui::FindControl(licences.get(), L"license_english");
    ASSERT_NE(nullptr, english);
    EXPECT_NE(english->GetText(), licence->GetText()) << "still the English licence";
  }

  // The window looks the licence up by name in its whole tree, so nothing
  // else in it may carry the name first.
  const ui::WindowMarkup window = ui::BuildWindowMarkup(L"InstallMainWnd.xml");
  ASSERT_NE(nullptr, window.root);
  const ui::Control* found = ui::FindControl(window.root.get(), row.licence);
  ASSERT_NE(nullptr, found);
  EXPECT_EQ(licence->GetText(), found->GetText());
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LanguageFileTest, ::testing::ValuesIn(kLanguageFiles),
                         [](const ::testing::TestParamInfo<LanguageFiles>& info) {
                           return std::string(info.param.name);
                         });

// The keys the window reads from "install_page" and the dialogs from "message_page".
const wchar_t kInstallPageKeys[] =
    L"select_language_text install_btn install_setting license_link browser_btn space_need "
    L"space_free install_label install_path_text install_minbtn install_closebtn finish_label "
    L"start_app agree_improvement extra_text text_fail_retry retry_btn text_fail_advice "
    L"anima_text_1 anima_text_2 anima_text_3 anima_text_4 anima_text_5 anima_text_6 "
    L"anima_text_7 anima_text_8 anima_text_9 anima_text_10";
const wchar_t kMessagePageKeys[] =
    L"ReplaceDesText ReplaceQueText CancelDesText CancelQueText AppExistDesText AppExistQueText "
    L"PathErrorDesText InstallRunTimeOutDesText InstallRunTimeOutQueText MD5FailDesText "
    L"MD5FailQueText UrlFailDexText UrlFailQueText InternetFailDesText InternetFailQueText "
    L"InternetTimeoutDesText InternetTimeoutQueText NoEnoughSpaceDesText "
    L"ClickShortcutToLaunchText NotSupportSystemDesText AgreeDesText SuggestSSDText FinshDesText "
    L"FinshQueText YesText NoText ReplaceText CancelText ConfirmText OkButtonText "
    L"AgreeInstallText NotAgreeText AcceptText RejectText";

std::vector<std::wstring> Words(const std::wstring& text) {
  std::vector<std::wstring> words;
  std::wistringstream stream(text);
  for (std::wstring word; stream >> word;) words.push_back(word);
  return words;
}

TEST(EnglishLanguageFileTest, CarriesEveryKeyTheProgramLooksUp) {
  ASSERT_TRUE(UseEmbeddedSkin());
  const LanguageFile english = Load(kLanguageFiles[LangEnglish]);
  for (const std::wstring& key : Words(kInstallPageKeys)) {
    EXPECT_NE(nullptr, english.Text(L"install_page", key)) << key;
  }
  for (const std::wstring& key : Words(kMessagePageKeys)) {
    EXPECT_NE(nullptr, english.Text(L"message_page", key)) << key;
  }
  const std::wstring* ssd = english.Text(L"message_page", L"SuggestSSDText");
  ASSERT_NE(nullptr, ssd);
  EXPECT_NE(kNone, ssd->find(L"**1**")) << "the SSD dialog could not name the drive";
}

}  // namespace
