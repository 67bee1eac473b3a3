#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <string>
#include <vector>

#include "TestZip.h"
#include "uitoolkit/Combo.h"
#include "uitoolkit/Container.h"
#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/PackageXml.h"
#include "uitoolkit/ScrollBar.h"
#include "uitoolkit/SkinPackage.h"
#include "uitoolkit/TabLayout.h"

namespace {

using uitest::TestZip;

class MarkupBuilderTest : public ::testing::Test {
 protected:
  void Load(const TestZip& zip) {
    bytes_ = zip.Build();
    ASSERT_TRUE(package_.Open(bytes_.data(), bytes_.size()));
  }
  ui::WindowMarkup Build(const std::wstring& path) {
    return ui::MarkupBuilder(package_).BuildWindow(path);
  }
  // Names of the direct children of control, in order.
  static std::vector<std::wstring> ChildNames(ui::Control* control) {
    std::vector<std::wstring> names;
    for (std::size_t i = 0; i < control->GetCount(); ++i) {
      names.push_back(control->GetItemAt(i)->GetName());
    }
    return names;
  }

  std::vector<unsigned char> bytes_;
  ui::SkinPackage package_;
};

TEST_F(MarkupBuilderTest, FontsAreNumberedByPositionNotById) {
  std::string xml = "<Window size=\"650,560\">";
  for (int i = 0; i < 8; ++i) xml += "<Font name=\"f" + std::to_string(i) + "\" size=\"14\"/>";
  for (int i = 8; i < 24; ++i) {
    // The ids count from 8 on, except one that lies; positions decide.
    const int id = i == 12 ? 3 : i;
    xml += "<Font id=\"" + std::to_string(id) + "\" name=\"f" + std::to_string(i) + "\"/>";
  }
  xml += "<Font name=\"bold\" bold=\"true\" underline=\"true\" default=\"true\" size=\"0\"/>";
  xml += "<VerticalLayout/></Window>";
  Load(TestZip().Add("w.xml", xml));

  const ui::WindowMarkup markup = Build(L"w.xml");
  ASSERT_EQ(25u, markup.fonts.size());
  for (int i = 0; i < 24; ++i) {
    EXPECT_EQ(L"f" + std::to_wstring(i), markup.fonts[i].name) << i;
    EXPECT_FALSE(markup.fonts[i].isDefault);
  }
  EXPECT_EQ(14, markup.fonts[0].size);
  EXPECT_EQ(12, markup.fonts[8].size);
  EXPECT_TRUE(markup.fonts[24].bold);
  EXPECT_TRUE(markup.fonts[24].underline);
  EXPECT_FALSE(markup.fonts[24].italic);
  EXPECT_TRUE(markup.fonts[24].isDefault);
  EXPECT_EQ(12, markup.fonts[24].size);
}

TEST_F(MarkupBuilderTest, WindowAttributesAndImagesAreTyped) {
  Load(TestZip().Add(
      "w.xml",
      "<Window size=\"650,560\" sizebox=\"4,4,6,6\" caption=\"0,0,0,310\" roundcorner=\"2,2\" "
      "showshadow=\"false\" shadowsize=\"3\" shadowposition=\"1,2\" shadowdarkness=\"80\" "
      "gdiplustext=\"false\" bktrans=\"true\" linkfontcolor=\"#ff28bf74\" "
      "linkhoverfontcolor=\"#ffe18407\" mininfo=\"400,300\">"
      "<Image name=\"scrollbar.bmp\" restype=\"FILE\" mask=\"#FFFF00FF\"/>"
      "<Image name=\"plain.png\"/><Label/></Window>"));
  const ui::WindowMarkup markup = Build(L"w.xml");
  const ui::WindowAttributes& w = markup.window;
  EXPECT_EQ((ui::Size{650, 560}), w.size);
  EXPECT_EQ((ui::Rect{4, 4, 6, 6}), w.sizeBox);
  EXPECT_EQ((ui::Rect{0, 0, 0, 310}), w.caption);
  EXPECT_EQ((ui::Size{2, 2}), w.roundCorner);
  EXPECT_EQ((ui::Size{400, 300}), w.minInfo);
  EXPECT_FALSE(w.showShadow);
  EXPECT_EQ(3, w.shadowSize);
  EXPECT_EQ((ui::Size{1, 2}), w.shadowPosition);
  EXPECT_EQ(80, w.shadowDarkness);
  EXPECT_FALSE(w.gdiplusText);
  EXPECT_TRUE(w.bkTrans);
  EXPECT_TRUE(w.hasLinkFontColor);
  EXPECT_EQ(0xFF28BF74u, w.linkFontColor);
  EXPECT_EQ(0xFFE18407u, w.linkHoverFontColor);
  ASSERT_EQ(2u, markup.images.size());
  EXPECT_EQ(L"scrollbar.bmp", markup.images[0].name);
  EXPECT_EQ(L"FILE", markup.images[0].resType);
  EXPECT_TRUE(markup.images[0].hasMask);
  EXPECT_EQ(0xFFFF00FFu, markup.images[0].mask);
  EXPECT_FALSE(markup.images[1].hasMask);
  ASSERT_NE(nullptr, markup.root);
  EXPECT_EQ(L"Label", markup.root->GetClass());
}

TEST_F(MarkupBuilderTest, DefaultsFromAnIncludedScrollbarFileApply) {
  Load(TestZip()
           .Add("scrollbar.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ScrollbarConfig>"
                "<Default name=\"VScrollBar\" value=\"width=&quot;8&quot; "
                "showbutton1=&quot;false&quot; "
                "thumbnormalimage=&quot;file='scrollbar.bmp' source='0,0,8,20'&quot;\"/>"
                "<Default name=\"Button\" value=\"height=&quot;30&quot; "
                "textcolor=&quot;#FF111111&quot;\"/>"
                "</ScrollbarConfig>")
           .Add("w.xml",
                "<Window><Include source=\"scrollbar.xml\"/>"
                "<VerticalLayout name=\"list\" vscrollbar=\"true\">"
                "<Button name=\"plain\"/><Button name=\"own\" height=\"44\"/>"
                "</VerticalLayout></Window>"));
  const ui::WindowMarkup markup = Build(L"w.xml");
  ASSERT_NE(nullptr, markup.root);
  auto* list = markup.root->AsContainer();
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(L"list", list->GetName());  // the include added no control of its own
  const ui::ScrollBar* bar = list->GetVerticalScrollBar();
  ASSERT_NE(nullptr, bar);
  EXPECT_EQ(8, bar->GetFixedWidth());
  EXPECT_FALSE(bar->ShowsButton1());
  EXPECT_EQ(L"scrollbar.bmp", bar->GetThumbImages().normal.file);
  EXPECT_EQ((ui::Rect{0, 0, 8, 20}), bar->GetThumbImages().normal.source);
  EXPECT_EQ(nullptr, list->GetHorizontalScrollBar());

  ui::Control* plain = ui::FindControl(markup.root.get(), L"plain");
  ui::Control* own = ui::FindControl(markup.root.get(), L"own");
  EXPECT_EQ(30, plain->GetFixedHeight());
  EXPECT_EQ(44, own->GetFixedHeight());  // the element's own attribute comes after the default
  EXPECT_EQ(0xFF111111u, own->GetTextColor().value());
}

TEST_F(MarkupBuilderTest, IncludeBuildsInPlaceWhateverTheIncludedRoot) {
  Load(TestZip()
           .Add("piece.xml",
                "<VerticalLayout name=\"piece\"><Label name=\"inner\"/></VerticalLayout>")
           .Add("window_piece.xml",
                "<Window size=\"1,1\"><Font name=\"included\"/>"
                "<Label name=\"w1\"/><Label name=\"w2\"/></Window>")
           .Add("twice.xml", "<Label name=\"again\"/>")
           .Add("w.xml",
                "<Window size=\"650,560\"><Font name=\"own\"/><VerticalLayout name=\"root\">"
                "<Label name=\"before\"/><Include source=\"PIECE.xml\"/>"
                "<Include source=\"window_piece.xml\"/><Include source=\"twice.xml\" count=\"2\"/>"
                "<Include source=\"twice.xml\" count=\"0\"/><Include source=\"missing.xml\"/>"
                "<Include/><Label name=\"after\"/></VerticalLayout></Window>"));
  const ui::WindowMarkup markup = Build(L"w.xml");
  ASSERT_NE(nullptr, markup.root);
  const std::vector<std::wstring> expected = {L"before", L"piece", L"w1",   L"w2",
                                              L"again",  L"again", L"after"};
  EXPECT_EQ(expected, ChildNames(markup.root.get()));
  EXPECT_EQ(markup.root.get(),
            ui::FindControl(markup.root.get(), L"inner")->GetParent()->GetParent());
  ASSERT_EQ(2u, markup.fonts.size());
  EXPECT_EQ(L"own", markup.fonts[0].name);
  EXPECT_EQ(L"included", markup.fonts[1].name);
  EXPECT_EQ(650, markup.window.size.cx);  // an included Window does not change the window
}

TEST_F(MarkupBuilderTest, IncludeCyclesAndDeepChainsStop) {
  TestZip zip;
  zip.Add(
         "a.xml",
         "<Window><VerticalLayout name=\"a\"><Include source=\"b.xml\"/></VerticalLayout></Window>")
      .Add("b.xml",
           "<VerticalLayout name=\"b\"><Include source=\"a.xml\"/><Include source=\"b.xml\"/>"
           "<Label name=\"b_end\"/></VerticalLayout>");
  for (int i = 0; i < 20; ++i) {
    zip.Add("d" + std::to_string(i) + ".xml", "<VerticalLayout name=\"d" + std::to_string(i) +
                                                  "\"><Include source=\"d" + std::to_string(i + 1) +
                                                  ".xml\"/></VerticalLayout>");
  }
  Load(zip);

  const ui::WindowMarkup cyclic = Build(L"a.xml");
  ASSERT_NE(nullptr, cyclic.root);
  ui::Control* b = ui::FindControl(cyclic.root.get(), L"b");
  ASSERT_NE(nullptr, b);
  EXPECT_EQ(std::vector<std::wstring>{L"b_end"}, ChildNames(b));

  const ui::WindowMarkup deep = Build(L"d0.xml");
  ASSERT_NE(nullptr, deep.root);
  const auto depth = static_cast<int>(ui::MarkupBuilder::kMaxIncludeDepth);
  EXPECT_NE(nullptr, ui::FindControl(deep.root.get(), L"d" + std::to_wstring(depth - 1)));
  EXPECT_EQ(nullptr, ui::FindControl(deep.root.get(), L"d" + std::to_wstring(depth)));
}

TEST_F(MarkupBuilderTest, ByteOrderMarkAndCommentsAreAccepted) {
  Load(TestZip().Add(
      "w.xml",
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- main -->\n"
      "<Window><!-- fonts --><Font name=\"a\"/>"
      "<Label name=\"l\" text=\"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\"/><!-- end --></Window>"));
  const ui::WindowMarkup markup = Build(L"w.xml");
  ASSERT_NE(nullptr, markup.root);
  EXPECT_EQ(L"\u65E5\u672C\u8A9E", markup.root->GetText());
  EXPECT_EQ(1u, markup.fonts.size());
}

TEST_F(MarkupBuilderTest, MissingOrBrokenFilesGiveAnEmptyResult) {
  Load(TestZip()
           .Add("broken.xml", "<Window><VerticalLayout></Window>")
           .Add("empty.xml", "")
           .Add("bom_only.xml", "\xEF\xBB\xBF")
           .Add("text.xml", "just text")
           .Add("fonts_only.xml", "<Window><Font name=\"a\"/></Window>")
           .Add("unknown.xml", "<Window><Gizmo><Label name=\"hidden\"/></Gizmo></Window>"));
  for (const wchar_t* path : {L"missing.xml", L"broken.xml", L"empty.xml", L"bom_only.xml",
                              L"text.xml", L"fonts_only.xml", L"unknown.xml"}) {
    const ui::WindowMarkup markup = Build(path);
    EXPECT_EQ(nullptr, markup.root) << path;
  }
  EXPECT_EQ(nullptr, ui::MarkupBuilder(package_).BuildTree(L"broken.xml"));
  tinyxml2::XMLDocument doc;
  EXPECT_FALSE(ui::LoadPackageXml(package_, L"broken.xml", &doc));
  EXPECT_FALSE(ui::LoadPackageXml(package_, L"missing.xml", &doc));
  EXPECT_TRUE(ui::LoadPackageXml(package_, L"FONTS_ONLY.xml", &doc));
  EXPECT_STREQ("Window", doc.RootElement()->Name());
}

TEST_F(MarkupBuilderTest, SeveralTopLevelControlsShareAContainer) {
  Load(TestZip()
           .Add("w.xml", "<Window><Label name=\"one\"/><Include source=\"p.xml\"/></Window>")
           .Add("p.xml", "<Label name=\"two\"/>"));
  const ui::WindowMarkup markup = Build(L"w.xml");
  ASSERT_NE(nullptr, markup.root);
  EXPECT_EQ(L"Container", markup.root->GetClass());
  EXPECT_EQ((std::vector<std::wstring>{L"one", L"two"}), ChildNames(markup.root.get()));
}

TEST_F(MarkupBuilderTest, FindControlSearchesHiddenTabsInDocumentOrder) {
  Load(
      TestZip()
          .Add("configure/configure.xml",
               "<VerticalLayout><VerticalLayout name=\"Product_config\">"
               "<Label name=\"Downloader_id\" text=\"127\"/></VerticalLayout></VerticalLayout>")
          .Add(
              "w.xml",
              "<Window><TabLayout name=\"main_tablayout\" selectedid=\"0\">"
              "<VerticalLayout name=\"page0\"><Label name=\"dup\" text=\"first\"/></VerticalLayout>"
              "<VerticalLayout visible=\"false\"><Label name=\"dup\" text=\"second\"/>"
              "<Include source=\"configure\\configure.xml\"/></VerticalLayout>"
              "</TabLayout></Window>"));
  const ui::WindowMarkup markup = Build(L"w.xml");
  ASSERT_NE(nullptr, markup.root);
  auto* tabs = dynamic_cast<ui::TabLayout*>(ui::FindControl(markup.root.get(), L"main_tablayout"));
  ASSERT_NE(nullptr, tabs);
  EXPECT_EQ(0, tabs->GetCurSel());
  ui::Control* id = ui::FindControl(markup.root.get(), L"Downloader_id");
  ASSERT_NE(nullptr, id);
  EXPECT_EQ(L"127", id->GetText());
  EXPECT_EQ(L"first", ui::FindControl(markup.root.get(), L"dup")->GetText());
  EXPECT_EQ(nullptr, ui::FindControl(markup.root.get(), L"nothing"));
  EXPECT_EQ(nullptr, ui::FindControl(markup.root.get(), L""));
  EXPECT_EQ(nullptr, ui::FindControl(nullptr, L"dup"));
}

TEST_F(MarkupBuilderTest, SectionLookupStaysInsideTheSection) {
  Load(TestZip().Add(
      "language/language_english.xml",
      "<VerticalLayout><VerticalLayout name=\"english\">"
      "<VerticalLayout name=\"install_page\"><Label name=\"start_app\" "
      "text=\"Start\"/></VerticalLayout>"
      "<VerticalLayout name=\"message_page\"><Label name=\"start_app\" text=\"other\"/>"
      "<Label name=\"YesText\" text=\"Yes\"/></VerticalLayout>"
      "</VerticalLayout></VerticalLayout>"));
  const std::unique_ptr<ui::Control> root =
      ui::MarkupBuilder(package_).BuildTree(L"language\\language_english.xml");
  ASSERT_NE(nullptr, root);
  EXPECT_EQ(L"Start",
            ui::FindControlInSection(root.get(), L"install_page", L"start_app")->GetText());
  EXPECT_EQ(L"other",
            ui::FindControlInSection(root.get(), L"message_page", L"start_app")->GetText());
  EXPECT_EQ(nullptr, ui::FindControlInSection(root.get(), L"install_page", L"YesText"));
  EXPECT_EQ(nullptr, ui::FindControlInSection(root.get(), L"no_page", L"start_app"));
  EXPECT_EQ(nullptr, ui::FindControlInSection(root.get(), L"install_page", L"install_page"));
}

TEST_F(MarkupBuilderTest, UnknownElementsAndAttributesAreSkipped) {
  Load(TestZip().Add(
      "w.xml",
      "<Window><VerticalLayout enable=\"false\" name=\"root\">"
      "<Gizmo name=\"g\"><Label name=\"inside_gizmo\"/></Gizmo>"
      "<Button name=\"btn\" disableimage=\"skin\\x.png\" normalimage=\"skin\\n.png\"/>"
      "<Label name=\"label\"><Label name=\"child_of_leaf\"/></Label>"
      "<Combo name=\"combo\"><ListLabelElement text=\" English\"/>"
      "<ListLabelElement text=\" Deutsch\" selected=\"true\"/></Combo>"
      "</VerticalLayout></Window>"));
  const ui::WindowMarkup markup = Build(L"w.xml");
  ASSERT_NE(nullptr, markup.root);
  EXPECT_TRUE(markup.root->IsEnabled());
  EXPECT_EQ((std::vector<std::wstring>{L"btn", L"label", L"combo"}), ChildNames(markup.root.get()));
  EXPECT_EQ(nullptr, ui::FindControl(markup.root.get(), L"inside_gizmo"));
  EXPECT_EQ(nullptr, ui::FindControl(markup.root.get(), L"child_of_leaf"));
  auto* combo = dynamic_cast<ui::Combo*>(ui::FindControl(markup.root.get(), L"combo"));
  ASSERT_NE(nullptr, combo);
  EXPECT_EQ(2u, combo->GetCount());
  EXPECT_EQ(1, combo->GetCurSel());
}

}  // namespace
