// The embedded skin package against what the windows and the program ask of it:
// every picture any markup names is a PNG in the package that holds the parts
// the markup cuts from it, button strips are four equal cells in state order,
// the pictures the program sets by name are there at the size of the control
// that shows them, and every layout file and looked-up control exists.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "SkinMarkupPictures.h"
#include "SkinPngSize.h"
#include "platform/Encoding.h"
#include "platform/Resource.h"
#include "uitoolkit/Container.h"
#include "uitoolkit/MarkupBuilder.h"
#include "uitoolkit/SkinPackage.h"

namespace {

using skintest::PictureUse;
using skintest::PngSize;

// The main window's height with its fold-out panel closed, the only height at
// which the finished page (and so its background) is shown.
constexpr int kMainWindowClosedHeight = 360;

std::wstring Wide(const std::string& text) { return platform::FromUtf8(text); }
std::string Narrow(const std::wstring& text) { return platform::ToUtf8(text); }

std::wstring Numbered(const char* pattern, int number) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, number);
  return Wide(buffer);
}

std::string Describe(const std::string& file, const PictureUse& use) {
  return file + ": <" + use.element + " name=\"" + use.control + "\"> " + use.attribute + " = " +
         Narrow(use.picture.file);
}

int Width(const ui::Rect& r) { return r.right - r.left; }
int Height(const ui::Rect& r) { return r.bottom - r.top; }

class SkinPicturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResourceBytes bytes;
    ASSERT_TRUE(platform::LoadResourceBytes(L"ZIPRES", 138, &bytes));
    ASSERT_TRUE(package_.Open(bytes.data, bytes.size));
  }

  // The size of the PNG stored under path (the package's lookup: either separator, any case).
  ::testing::AssertionResult PictureSize(const std::wstring& path, PngSize* size) const {
    std::vector<unsigned char> bytes;
    if (!package_.ReadEntry(path, &bytes)) {
      return ::testing::AssertionFailure() << Narrow(path) << " is not in the package";
    }
    if (!skintest::ReadPngSize(bytes, size)) {
      return ::testing::AssertionFailure() << Narrow(path) << " is not a PNG picture";
    }
    return ::testing::AssertionSuccess();
  }

  std::vector<std::string> MarkupFiles() const {
    std::vector<std::string> files;
    for (const std::wstring& name : package_.EntryNames()) {
      const std::string key = ui::SkinPackage::NormalisePath(name);
      if (key.size() > 4 && key.compare(key.size() - 4, 4, ".xml") == 0) {
        files.push_back(Narrow(name));
      }
    }
    return files;
  }

  ui::WindowMarkup Window(const std::wstring& path) const {
    return ui::MarkupBuilder(package_).BuildWindow(path);
  }

  ui::SkinPackage package_;
};

// --- the helpers the checks stand on ---

TEST(SkinMarkupPicturesTest, FindsEveryWayMarkupNamesAPicture) {
  tinyxml2::XMLDocument document;
  ASSERT_EQ(
      tinyxml2::XML_SUCCESS,
      document.Parse(
          "<Window>"
          "<Image name=\"skin\\decl.png\" mask=\"#FFFF00FF\"/>"
          "<Default name=\"VScrollBar\" value=\"width=&quot;8&quot; "
          "thumbnormalimage=&quot;file='bar.bmp' source='0,0,8,30'&quot; "
          "bkNormalImage=&quot;skin\\rail.png&quot;\"/>"
          "<VerticalLayout bkimage=\"skin\\back.png\">"
          "<Button name=\"b\" text=\"image.png\" hotimage=\" \" "
          "normalimage=\"file='skin\\b.png' source='0,0,10,10'\" disableimage=\"skin\\old.png\"/>"
          "</VerticalLayout></Window>"));
  const std::vector<PictureUse> uses = skintest::CollectPictureUses(document);
  struct Expected {
    const char* element;
    const char* attribute;
    const wchar_t* file;
  };
  const Expected expected[] = {
      {"Image", "name", L"skin\\decl.png"},
      {"Default", "thumbnormalimage", L"bar.bmp"},
      {"Default", "bkNormalImage", L"skin\\rail.png"},
      {"VerticalLayout", "bkimage", L"skin\\back.png"},
      {"Button", "normalimage", L"skin\\b.png"},
      {"Button", "disableimage", L"skin\\old.png"},
  };
  ASSERT_EQ(std::size(expected), uses.size());
  for (std::size_t i = 0; i < uses.size(); ++i) {
    EXPECT_EQ(expected[i].element, uses[i].element) << i;
    EXPECT_EQ(expected[i].attribute, uses[i].attribute) << i;
    EXPECT_EQ(expected[i].file, uses[i].picture.file) << i;
  }
  EXPECT_TRUE(uses[1].picture.hasSource);
  EXPECT_EQ("VScrollBar", uses[1].control);
}

TEST(SkinPngSizeTest, ReadsTheHeaderAndRefusesEverythingElse) {
  const std::vector<unsigned char> header = {0x89, 'P', 'N', 'G',  '\r', '\n', 0x1A, '\n', 0, 0,
                                             0,    13,  'I', 'H',  'D',  'R',  0,    0,    2, 0x88,
                                             0,    0,   1,   0x2C, 8,    6,    0,    0,    0};
  PngSize size;
  ASSERT_TRUE(skintest::ReadPngSize(header, &size));
  EXPECT_EQ(648, size.width);
  EXPECT_EQ(300, size.height);

  struct Case {
    const char* what;
    std::size_t offset;                // where the bytes below replace the header's
    std::vector<unsigned char> bytes;  // none: the header is cut at offset instead
  };
  const Case cases[] = {
      {"a bitmap's signature", 0, {'B', 'M'}},
      {"a damaged signature", 4, {'X'}},
      {"another first chunk", 12, {'I', 'D', 'A', 'T'}},
      {"a wrong IHDR length", 8, {0, 0, 0, 12}},
      {"zero width", 16, {0, 0, 0, 0}},
      {"an absurd height", 20, {0x7F, 0, 0, 0}},
      {"a cut header", 20, {}},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> bytes = header;
    if (c.bytes.empty()) bytes.resize(c.offset);
    std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + c.offset);
    EXPECT_FALSE(skintest::ReadPngSize(bytes, &size)) << c.what;
  }
  EXPECT_FALSE(skintest::ReadPngSize({}, &size));
}

// --- pictures the markup names ---

TEST_F(SkinPicturesTest, EveryPictureTheMarkupNamesIsAPngThatHoldsItsParts) {
  std::set<std::string> seen;
  for (const std::string& file : MarkupFiles()) {
    tinyxml2::XMLDocument document;
    ASSERT_TRUE(ui::LoadPackageXml(package_, Wide(file), &document)) << file;
    for (const PictureUse& use : skintest::CollectPictureUses(document)) {
      const std::string where = Describe(file, use);
      seen.insert(ui::SkinPackage::NormalisePath(use.picture.file));
      PngSize size;
      const ::testing::AssertionResult stored = PictureSize(use.picture.file, &size);
      if (!stored) {
        ADD_FAILURE() << where << ": " << stored.message();
        continue;
      }
      ui::Rect part{0, 0, size.width, size.height};
      if (use.picture.hasSource) {
        part = use.picture.source;
        EXPECT_TRUE(part.left >= 0 && part.top >= 0 && part.left < part.right &&
                    part.top < part.bottom && part.right <= size.width &&
                    part.bottom <= size.height)
            << where << ": source " << part.left << "," << part.top << "," << part.right << ","
            << part.bottom << " outside the " << size.width << " x " << size.height << " picture";
      }
      if (use.picture.hasCorner) {
        const ui::Rect& corner = use.picture.corner;
        EXPECT_LE(corner.left + corner.right, Width(part)) << where << ": corners overlap";
        EXPECT_LE(corner.top + corner.bottom, Height(part)) << where << ": corners overlap";
      }
    }
  }
  // The scan reaches into Default lists and included pieces, where the easy misses are.
  for (const char* expected : {"scrollbar.bmp", "skin/btn_start_now.png", "skin/combo_over.png"}) {
    EXPECT_EQ(1u, seen.count(expected)) << expected << " was not among the pictures found";
  }
}

TEST_F(SkinPicturesTest, ButtonStripsAreFourEqualCellsInStateOrder) {
  const char* const kStates[] = {"normalimage", "hotimage", "pushedimage", "disabledimage"};
  int strips = 0;
  for (const std::string& file : MarkupFiles()) {
    tinyxml2::XMLDocument document;
    ASSERT_TRUE(ui::LoadPackageXml(package_, Wide(file), &document)) << file;
    std::map<const tinyxml2::XMLElement*, std::map<std::string, PictureUse>> byElement;
    for (const PictureUse& use : skintest::CollectPictureUses(document)) {
      if (use.element != "Default" && use.picture.hasSource) {
        byElement[use.node].emplace(use.attribute, use);
      }
    }
    for (const auto& element : byElement) {
      const auto& states = element.second;
      const PictureUse& any = states.begin()->second;
      const std::string where = file + ": " + any.element + " " + any.control;
      ++strips;
      ASSERT_EQ(4u, states.size()) << where << " cuts its states from a strip but not all four";
      const ui::Rect first = states.at("normalimage").picture.source;
      const int cellWidth = Width(first);
      const int cellHeight = Height(first);
      for (int i = 0; i < 4; ++i) {
        const PictureUse& state = states.at(kStates[i]);
        EXPECT_EQ(ui::SkinPackage::NormalisePath(any.picture.file),
                  ui::SkinPackage::NormalisePath(state.picture.file))
            << where << " " << kStates[i];
        EXPECT_EQ((ui::Rect{i * cellWidth, 0, (i + 1) * cellWidth, cellHeight}),
                  state.picture.source)
            << where << " " << kStates[i];
      }
      PngSize size;
      ASSERT_TRUE(PictureSize(any.picture.file, &size)) << where;
      EXPECT_EQ(4 * cellWidth, size.width) << where;
      EXPECT_EQ(cellHeight, size.height) << where;
      // A cell the size of its button is drawn unscaled.
      const tinyxml2::XMLElement& node = *any.node;
      if (node.Attribute("pos") != nullptr) {
        const ui::Rect pos = ui::ParseRect(Wide(node.Attribute("pos")));
        EXPECT_EQ(cellWidth, Width(pos)) << where;
        EXPECT_EQ(cellHeight, Height(pos)) << where;
      } else {
        EXPECT_EQ(cellWidth, node.IntAttribute("width")) << where;
        EXPECT_EQ(cellHeight, node.IntAttribute("height")) << where;
      }
    }
  }
  EXPECT_NE(0, strips);
}

// --- pictures the program asks for by name ---

TEST_F(SkinPicturesTest, PicturesTheProgramSetsByNameAreThere) {
  std::vector<std::wstring> names = {
      L"skin/backgroud_complete.png",   L"skin\\message_help.png",
      L"skin\\message_exclamation.png", L"skin/waiting.png",
      L"skin/logo_running.png",
  };
  for (int frame = 1; frame <= 3; ++frame) names.push_back(Numbered("skin\\anima\\%d.png", frame));
  for (int frame = 0; frame <= 20; ++frame) names.push_back(Numbered("skin/gif/bg%.2d.png", frame));
  for (const std::wstring& name : names) {
    PngSize size;
    EXPECT_TRUE(PictureSize(name, &size));
  }
}

TEST_F(SkinPicturesTest, CarouselHasAFrameForEveryPageDot) {
  const ui::WindowMarkup main = Window(L"InstallMainWnd.xml");
  ASSERT_NE(nullptr, main.root);
  int frames = 0;
  while (package_.HasEntry(Numbered("skin\\anima\\%d.png", frames + 1))) ++frames;
  int dots = 0;
  while (ui::FindControl(main.root.get(), Numbered("image_play_option%d", dots + 1)) != nullptr) {
    ++dots;
  }
  EXPECT_EQ(3, frames);
  EXPECT_EQ(frames, dots);
}

// Each picture is shown by one control (or window) without scaling: its size is
// that of the control, which for the carousel and the launch window is also the
// size the program draws and composes them at.
TEST_F(SkinPicturesTest, PicturesAreTheSizeOfTheControlsThatShowThem) {
  struct Case {
    const wchar_t* window;
    const wchar_t* control;  // null: the window itself
    std::wstring picture;
  };
  std::vector<Case> cases = {
      {L"transWnd.xml", nullptr, L"skin/waiting.png"},
      {L"transWnd.xml", L"logo_running", L"skin/logo_running.png"},
      {L"InstallMainWnd.xml", L"img_logo", L"skin\\logo.png"},
      {L"MessageBox.xml", L"iconimage", L"skin\\message_help.png"},
      {L"MessageBox.xml", L"iconimage", L"skin\\message_exclamation.png"},
      {L"MessageBox_down.xml", L"iconimage", L"skin\\message_help.png"},
  };
  for (int frame = 1; frame <= 3; ++frame) {
    cases.push_back({L"InstallMainWnd.xml", L"image_play", Numbered("skin\\anima\\%d.png", frame)});
  }
  for (int frame = 0; frame <= 20; ++frame) {
    cases.push_back({L"transWnd.xml", L"foreImage", Numbered("skin/gif/bg%.2d.png", frame)});
  }
  for (const Case& c : cases) {
    const std::string where = Narrow(c.picture) + " in " + Narrow(c.window);
    const ui::WindowMarkup markup = Window(c.window);
    ASSERT_NE(nullptr, markup.root) << where;
    ui::Size expected = markup.window.size;
    if (c.control != nullptr) {
      const ui::Control* control = ui::FindControl(markup.root.get(), c.control);
      ASSERT_NE(nullptr, control) << where;
      expected = {control->GetFixedWidth(), control->GetFixedHeight()};
    }
    PngSize size;
    ASSERT_TRUE(PictureSize(c.picture, &size)) << where;
    EXPECT_EQ(expected.cx, size.width) << where;
    EXPECT_EQ(expected.cy, size.height) << where;
  }
}

// The settings page background and the finished one replace each other on
// backgroudlayout; both cover the page inside the window's border with the
// panel closed.
TEST_F(SkinPicturesTest, PageBackgroundsCoverThePageInsideTheBorder) {
  const ui::WindowMarkup main = Window(L"InstallMainWnd.xml");
  ASSERT_NE(nullptr, main.root);
  const ui::Rect& inset = main.root->GetInset();
  const int width = main.window.size.cx - inset.left - inset.right;
  const int height = kMainWindowClosedHeight - inset.top - inset.bottom;
  const ui::Control* page = ui::FindControl(main.root.get(), L"backgroudlayout");
  ASSERT_NE(nullptr, page);
  const ui::PictureDescriptor& initial = page->GetBkImage();
  // Drawn at its own size when the panel opens below it, never stretched.
  ASSERT_TRUE(initial.hasDest);
  EXPECT_EQ((ui::Rect{0, 0, width, height}), initial.dest);
  for (const std::wstring& picture : {initial.file, std::wstring(L"skin/backgroud_complete.png")}) {
    PngSize size;
    ASSERT_TRUE(PictureSize(picture, &size));
    EXPECT_EQ(width, size.width) << Narrow(picture);
    EXPECT_EQ(height, size.height) << Narrow(picture);
  }
}

// --- layout files and controls ---

TEST_F(SkinPicturesTest, LayoutFilesParseAndBuild) {
  enum class Kind { Window, Piece, Declarations };
  struct Case {
    const wchar_t* path;
    Kind kind;
    ui::Size size;
    ui::Rect caption;
    bool transparent;
  };
  const Case cases[] = {
      {L"InstallMainWnd.xml", Kind::Window, {650, 560}, {0, 0, 0, 310}, false},
      {L"MessageBox.xml", Kind::Window, {500, 190}, {0, 0, 0, 60}, false},
      {L"MessageBox_down.xml", Kind::Window, {452, 190}, {0, 0, 0, 60}, false},
      {L"transWnd.xml", Kind::Window, {320, 320}, {0, 0, 0, 320}, true},
      {L"InstallSetting.xml", Kind::Piece, {}, {}, false},
      {L"InstallCustom.xml", Kind::Piece, {}, {}, false},
      {L"InstallFinished.xml", Kind::Piece, {}, {}, false},
      {L"InstallRunning.xml", Kind::Piece, {}, {}, false},
      {L"License.xml", Kind::Piece, {}, {}, false},
      {L"InstallMainLayout.xml", Kind::Piece, {}, {}, false},
      {L"configure/configure.xml", Kind::Piece, {}, {}, false},
      {L"scrollbar.xml", Kind::Declarations, {}, {}, false},
      {L"font.xml", Kind::Declarations, {}, {}, false},
  };
  for (const Case& c : cases) {
    const std::string where = Narrow(c.path);
    tinyxml2::XMLDocument document;
    ASSERT_TRUE(ui::LoadPackageXml(package_, c.path, &document)) << where;
    if (c.kind == Kind::Window) {
      const ui::WindowMarkup markup = Window(c.path);
      ASSERT_NE(nullptr, markup.root) << where;
      EXPECT_EQ(c.size, markup.window.size) << where;
      EXPECT_EQ(c.caption, markup.window.caption) << where;
      EXPECT_EQ(c.transparent, markup.window.bkTrans) << where;
      EXPECT_FALSE(markup.fonts.empty()) << where;
    } else if (c.kind == Kind::Piece) {
      EXPECT_NE(nullptr, ui::MarkupBuilder(package_).BuildTree(c.path)) << where;
    }
  }
}

TEST_F(SkinPicturesTest, EveryControlTheProgramLooksUpIsInItsLayout) {
  // "Container" accepts any container class, "Label" a label or a text.
  struct Case {
    std::wstring window;
    std::wstring name;
    std::string kind;
    int width;  // 0: the Parts give no size
    int height;
  };
  std::vector<Case> cases = {
      {L"InstallMainWnd.xml", L"closebtn", "Button", 0, 0},
      {L"InstallMainWnd.xml", L"minbtn", "Button", 0, 0},
      {L"InstallMainWnd.xml", L"main_tablayout", "TabLayout", 0, 0},
      {L"InstallMainWnd.xml", L"page_layout", "TabLayout", 0, 0},
      {L"InstallMainWnd.xml", L"set_layout", "TabLayout", 0, 0},
      {L"InstallMainWnd.xml", L"install_file_path_edit", "Edit", 0, 0},
      {L"InstallMainWnd.xml", L"install_progress", "Progress", 0, 0},
      {L"InstallMainWnd.xml", L"install_label", "Label", 0, 0},
      {L"InstallMainWnd.xml", L"space_need", "Label", 0, 0},
      {L"InstallMainWnd.xml", L"space_free", "Label", 0, 0},
      {L"InstallMainWnd.xml", L"install_setting", "Button", 0, 0},
      {L"InstallMainWnd.xml", L"license_link", "Text", 0, 0},
      {L"InstallMainWnd.xml", L"license_checkbox", "CheckBox", 0, 0},
      {L"InstallMainWnd.xml", L"agree_improvement_checkbox", "CheckBox", 0, 0},
      {L"InstallMainWnd.xml", L"install_btn", "Button", 0, 0},
      {L"InstallMainWnd.xml", L"license_english", "RichEdit", 0, 0},
      {L"InstallMainWnd.xml", L"license_japanese", "RichEdit", 0, 0},
      {L"InstallMainWnd.xml", L"license_text", "Text", 0, 0},
      {L"InstallMainWnd.xml", L"license_text_layout", "Container", 0, 0},
      {L"InstallMainWnd.xml", L"language_combox", "Combo", 0, 0},
      {L"InstallMainWnd.xml", L"select_language_text", "Label", 0, 0},
      {L"InstallMainWnd.xml", L"install_path_text", "Label", 0, 0},
      {L"InstallMainWnd.xml", L"browser_btn", "Button", 0, 0},
      {L"InstallMainWnd.xml", L"image_play", "Container", 648, 300},
      {L"InstallMainWnd.xml", L"backgroudlayout", "Container", 0, 0},
      {L"InstallMainWnd.xml", L"text_fail_retry", "Text", 0, 0},
      {L"InstallMainWnd.xml", L"text_fail_advice", "Text", 0, 0},
      {L"InstallMainWnd.xml", L"img_warning", "Control", 0, 0},
      {L"InstallMainWnd.xml", L"start_app", "Button", 0, 0},
      {L"InstallMainWnd.xml", L"text_startshortcut", "Text", 0, 0},
      {L"InstallMainWnd.xml", L"text_product_name", "Text", 0, 0},
      {L"InstallMainWnd.xml", L"install_minbtn", "Button", 0, 0},
      {L"transWnd.xml", L"closebtn", "Button", 0, 0},
      {L"transWnd.xml", L"minbtn", "Button", 0, 0},
      {L"transWnd.xml", L"foreImage", "Container", 0, 0},
      {L"transWnd.xml", L"version", "Text", 0, 0},
  };
  for (int i = 1; i <= 3; ++i) {
    cases.push_back({L"InstallMainWnd.xml", Numbered("image_play_option%d", i), "Option", 0, 0});
    cases.push_back({L"InstallMainWnd.xml", Numbered("anima_text_%d", i), "Label", 0, 0});
  }
  for (const wchar_t* dialog : {L"MessageBox.xml", L"MessageBox_down.xml"}) {
    cases.push_back({dialog, L"closebtn", "Button", 0, 0});
    cases.push_back({dialog, L"minbtn", "Button", 0, 0});
    cases.push_back({dialog, L"btn_yes", "Button", 0, 0});
    cases.push_back({dialog, L"btn_no", "Button", 0, 0});
    cases.push_back({dialog, L"msg_describe", "Text", 0, 0});
    cases.push_back({dialog, L"msg_question", "Label", 0, 0});
    cases.push_back({dialog, L"iconimage", "Container", 0, 0});
  }

  std::map<std::wstring, ui::WindowMarkup> windows;
  for (const Case& c : cases) {
    const std::string where = Narrow(c.name) + " in " + Narrow(c.window);
    auto found = windows.find(c.window);
    if (found == windows.end()) found = windows.emplace(c.window, Window(c.window)).first;
    ASSERT_NE(nullptr, found->second.root) << where;
    ui::Control* control = ui::FindControl(found->second.root.get(), c.name);
    ASSERT_NE(nullptr, control) << where;
    const std::string& kind = c.kind;
    const std::wstring cls = control->GetClass();
    if (kind == "Container") {
      EXPECT_NE(nullptr, control->AsContainer()) << where << " is a " << Narrow(cls);
    } else if (kind == "Label") {
      EXPECT_TRUE(cls == L"Label" || cls == L"Text") << where << " is a " << Narrow(cls);
    } else {
      EXPECT_EQ(Wide(kind), cls) << where;
    }
    if (c.width != 0) {
      EXPECT_EQ(c.width, control->GetFixedWidth()) << where;
      EXPECT_EQ(c.height, control->GetFixedHeight()) << where;
    }
  }
}

// Controls are found by name, first match wins: a second control of the same
// name in a window would never be reached.
TEST_F(SkinPicturesTest, ControlNamesAreUniqueInEachWindow) {
  for (const wchar_t* path :
       {L"InstallMainWnd.xml", L"MessageBox.xml", L"MessageBox_down.xml", L"transWnd.xml"}) {
    const ui::WindowMarkup markup = Window(path);
    ASSERT_NE(nullptr, markup.root) << Narrow(path);
    std::map<std::wstring, int> counts;
    std::vector<const ui::Control*> pending = {markup.root.get()};
    while (!pending.empty()) {
      const ui::Control* control = pending.back();
      pending.pop_back();
      if (!control->GetName().empty()) ++counts[control->GetName()];
      for (std::size_t i = 0; i < control->GetCount(); ++i)
        pending.push_back(control->GetItemAt(i));
    }
    for (const auto& entry : counts) {
      EXPECT_EQ(1, entry.second) << Narrow(entry.first) << " in " << Narrow(path);
    }
  }
}

}  // namespace
