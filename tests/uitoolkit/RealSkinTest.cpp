#include <gtest/gtest.h>

#include "platform/Resource.h"
#include "uitoolkit/Combo.h"
#include "uitoolkit/Container.h"
#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/ResourcePackage.h"
#include "uitoolkit/ScrollBar.h"
#include "uitoolkit/TabLayout.h"

namespace {

class RealSkinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResourceBytes bytes;
    ASSERT_TRUE(platform::LoadResourceBytes(L"ZIPRES", 138, &bytes));
    ASSERT_TRUE(ui::SetResourcePackage(bytes.data, bytes.size));
  }
};

TEST_F(RealSkinTest, MainWindowBuildsWithItsPages) {
  const ui::WindowMarkup markup = ui::BuildWindowMarkup(L"InstallMainWnd.xml");
  ASSERT_NE(nullptr, markup.root);
  EXPECT_EQ((ui::Size{650, 560}), markup.window.size);
  EXPECT_EQ(18u, markup.fonts.size());
  ui::Control* root = markup.root.get();
  auto* tabs = dynamic_cast<ui::TabLayout*>(ui::FindControl(root, L"main_tablayout"));
  ASSERT_NE(nullptr, tabs);
  EXPECT_EQ(3u, tabs->GetCount());
  EXPECT_EQ(0, tabs->GetCurSel());
  for (const wchar_t* name : {L"closebtn",
                              L"minbtn",
                              L"page_layout",
                              L"set_layout",
                              L"install_file_path_edit",
                              L"install_progress",
                              L"install_label",
                              L"space_need",
                              L"space_free",
                              L"install_setting",
                              L"license_link",
                              L"license_checkbox",
                              L"agree_improvement_checkbox",
                              L"install_btn",
                              L"license_english",
                              L"license_japanese",
                              L"license_text",
                              L"license_text_layout",
                              L"select_language_text",
                              L"install_path_text",
                              L"browser_btn",
                              L"image_play",
                              L"backgroudlayout",
                              L"image_play_option1",
                              L"image_play_option3",
                              L"text_fail_retry",
                              L"text_fail_advice",
                              L"img_warning",
                              L"start_app",
                              L"text_startshortcut",
                              L"text_product_name",
                              L"anima_text_1",
                              L"install_minbtn"}) {
    EXPECT_NE(nullptr, ui::FindControl(root, name)) << name;
  }
  ui::Control* downloaderId = ui::FindControl(root, L"Downloader_id");
  ASSERT_NE(nullptr, downloaderId);
  EXPECT_EQ(L"127", downloaderId->GetText());
  auto* combo = dynamic_cast<ui::Combo*>(ui::FindControl(root, L"language_combox"));
  ASSERT_NE(nullptr, combo);
  EXPECT_EQ(20u, combo->GetCount());
  EXPECT_EQ(L" Čeština", combo->GetItemAt(19)->GetText());
  auto* scroller = ui::FindControl(root, L"license_text_layout")->GetParent()->AsContainer();
  ASSERT_NE(nullptr, scroller->GetVerticalScrollBar());
  EXPECT_EQ(8, scroller->GetVerticalScrollBar()->GetFixedWidth());
}

TEST_F(RealSkinTest, EnglishLanguageFileHasBothSections) {
  const std::unique_ptr<ui::Control> root =
      ui::BuildFreeStandingTree(L"language\\language_english.xml");
  ASSERT_NE(nullptr, root);
  ui::Control* start = ui::FindControlInSection(root.get(), L"install_page", L"start_app");
  ASSERT_NE(nullptr, start);
  EXPECT_EQ(L"Start", start->GetText());
  ui::Control* agree = ui::FindControlInSection(root.get(), L"message_page", L"AgreeInstallText");
  ASSERT_NE(nullptr, agree);
  EXPECT_EQ(L"Agree and Install", agree->GetText());
}

}  // namespace
