// Drawing a small fixture window offscreen and checking the pixels that
// matter: background alpha rule, opaque borders and text colours, the cell
// of a button strip per state, nine-part pictures, masks, progress, missing
// pictures; and the fonts: every script of the twenty languages has glyphs,
// right-to-left text stays at the side the markup aligns it to.
#include <cairo.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <set>

#include "ToolkitFixture.h"
#include "uitoolkit/Button.h"
#include "uitoolkit/ControlSearch.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/TextLanguage.h"
#include "uitoolkit/TextOverflow.h"
#include "uitoolkit/gtk/OffscreenRenderer.h"
#include "uitoolkit/gtk/TextPainter.h"

namespace {

using ui::Rect;

constexpr uint32_t kWhite = 0xFFFFFF, kBlue = 0x0000FF, kRed = 0xFF0000, kGreen = 0x00C000;
constexpr uint32_t kBlack = 0x000000;
// The four cells of the button strip: normal, hot, pushed, disabled.
const std::vector<uint32_t> kCells = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0};

constexpr char kWindow[] = R"(<Window size="200,150">
  <Font name="Microsoft YaHei" size="12" default="true"/>
  <VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <HorizontalLayout height="40">
      <Control name="clear" width="20" bkcolor="#00FF0000"/>
      <Control name="six" width="20" bkcolor="#ff0000"/>
      <Control name="solid" width="20" bkcolor="#FF0000FF"/>
      <Control name="bordered" width="20" bordersize="2" bordercolor="#0000ff"/>
      <Button name="btn" width="40" normalimage="file='skin\Strip.png' source='0,0,40,40'"
        hotimage="file='skin\Strip.png' source='40,0,80,40'" pushedimage="file='skin\Strip.png' source='80,0,120,40'"
        disableimage="file='skin\Strip.png' source='120,0,160,40'"/>
      <Control name="missing" width="20" bkimage="skin\nothere.png"/>
      <Control name="masked" width="20" bkimage="file='skin\masked.png' mask='#FFFF00FF'"/>
    </HorizontalLayout>
    <Control name="nine" height="30" bkimage="file='skin\frame.png' corner='4,4,4,4'"/>
    <Progress name="bar" height="10" value="25" bkimage="skin\bk.png" foreimage="skin\fore.png"/>
    <Label name="text" height="30" text="Hello" textcolor="#00FF0000"/>
    <Label name="rtl" height="30" text="التثبيت الآن" textcolor="#FF000000"/>
  </VerticalLayout>
</Window>)";

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_.SetFiles({
        {"window.xml", kWindow},
        {"skin/strip.png", uitest::MakeStrip(40, 40, kCells)},
        {"skin/masked.png", uitest::MakePng(20, 40, [](int, int) { return 0xFFFF00FFu; })},
        {"skin/frame.png", uitest::MakePng(12, 12,
                                           [](int x, int y) {
                                             const bool edge = x < 4 || y < 4 || x >= 8 || y >= 8;
                                             return edge ? 0xFF000000u : 0xFF00C000u;
                                           })},
        {"skin/bk.png", uitest::MakePng(4, 4, [](int, int) { return 0xFF0000FFu; })},
        {"skin/fore.png", uitest::MakePng(4, 4, [](int, int) { return 0xFF00C000u; })},
    });
    markup_ = fixture_.Build();
    ASSERT_NE(nullptr, markup_.root);
    images_ = std::make_unique<ui::ImageStore>(&fixture_.Package());
  }
  void Render() { bitmap_ = ui::RenderWindow(markup_.root.get(), markup_, *images_, 200, 150); }
  // The colour at x, y without alpha (the window is opaque there).
  uint32_t Rgb(int x, int y) const { return bitmap_.At(x, y) & 0xFFFFFFu; }
  ui::Control* Find(const wchar_t* name) { return ui::FindControl(markup_.root.get(), name); }
  // Ink of at least the given darkness in the control's rectangle: leftmost x, or -1.
  int LeftmostInk(const ui::Control* c, uint32_t channelMask) const {
    const Rect& r = c->GetPos();
    for (int x = r.left; x < r.right; ++x) {
      for (int y = r.top; y < r.bottom; ++y) {
        const uint32_t p = Rgb(x, y);
        if ((p & channelMask) < (0x808080u & channelMask)) return x;
      }
    }
    return -1;
  }

  uitest::MarkupFixture fixture_;
  ui::WindowMarkup markup_;
  std::unique_ptr<ui::ImageStore> images_;
  ui::Bitmap bitmap_;
};

TEST_F(RenderTest, BackgroundsBordersAndMasks) {
  Render();
  EXPECT_EQ(kWhite, Rgb(10, 20));  // alpha 0: no background at all
  EXPECT_EQ(kWhite, Rgb(30, 20));  // six digits read as alpha 0
  EXPECT_EQ(kBlue, Rgb(50, 20));   // opaque background
  EXPECT_EQ(kBlue, Rgb(60, 20));   // the border, drawn opaque...
  EXPECT_EQ(kBlue, Rgb(79, 39));
  EXPECT_EQ(kWhite, Rgb(70, 20));   // ...around an empty middle
  EXPECT_EQ(kWhite, Rgb(130, 20));  // a missing picture draws nothing
  EXPECT_EQ(kWhite, Rgb(150, 20));  // the mask colour is transparent
}

TEST_F(RenderTest, ButtonStripCellFollowsTheState) {
  auto* button = static_cast<ui::Button*>(Find(L"btn"));
  struct Step {
    const char* state;
    bool hot, pushed, enabled;
    uint32_t cell;
  };
  const Step steps[] = {
      {"normal", false, false, true, kCells[0]},
      {"hot", true, false, true, kCells[1]},
      {"pushed", true, true, true, kCells[2]},
      // "disableimage" is no attribute: a disabled button looks normal.
      {"disabled", false, false, false, kCells[0]},
  };
  for (const Step& s : steps) {
    button->SetHot(s.hot);
    button->SetPushed(s.pushed);
    button->SetEnabled(s.enabled);
    Render();
    EXPECT_EQ(s.cell & 0xFFFFFFu, Rgb(100, 20)) << s.state;
    EXPECT_EQ(s.cell & 0xFFFFFFu, Rgb(81, 1))
        << s.state;  // the cell's own corner, not a neighbour's
  }
}

TEST_F(RenderTest, NinePartPicturesKeepTheirCornersAndProgressFillsItsShare) {
  Render();
  EXPECT_EQ(kBlack, Rgb(0, 40));  // corner
  EXPECT_EQ(kBlack, Rgb(3, 43));
  EXPECT_EQ(kBlack, Rgb(100, 41));  // top edge, stretched sideways only
  EXPECT_EQ(kBlack, Rgb(196, 55));  // right edge
  EXPECT_EQ(kGreen, Rgb(100, 55));  // middle
  EXPECT_EQ(kGreen, Rgb(4, 44));    // just inside the corner: no blur across the cut
  EXPECT_EQ(kGreen, Rgb(10, 75));   // progress 25 of 100: the first 50 pixels filled
  EXPECT_EQ(kGreen, Rgb(49, 75));
  EXPECT_EQ(kBlue, Rgb(50, 75));
  EXPECT_EQ(kBlue, Rgb(199, 75));
}

TEST_F(RenderTest, TextColourIgnoresAlphaAndRightToLeftTextStaysLeftAligned) {
  Render();
  // "#00FF0000" draws red, not nothing.
  EXPECT_GE(LeftmostInk(Find(L"text"), 0x00FFFF), 0);
  const ui::Control* rtl = Find(L"rtl");
  const int ink = LeftmostInk(rtl, 0xFFFFFF);
  ASSERT_GE(ink, 0);
  EXPECT_LT(ink, rtl->GetPos().left + 10);
}

TEST_F(RenderTest, TooLongTextsShrinkThenEndWithAnEllipsisAndAreReported) {
  const std::wstring text = L"Benutzerdefinierte Installation";
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  int natural = 0;
  {
    ui::TextPainter painter(cr, markup_.fonts, markup_.window);
    ui::LayoutPtr layout = painter.PlainLayout(text, -1);
    pango_layout_get_pixel_size(layout.get(), &natural, nullptr);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  ASSERT_GT(natural, 40);

  std::set<std::pair<int, bool>> reported;  // label width, cut (each paint reports)
  ui::Control* label = Find(L"text");
  ui::SetTextOverflowObserver([&](const ui::Control& c, const std::wstring&, bool cut) {
    reported.emplace(c.GetFixedWidth(), cut);
  });
  label->SetText(text);
  const int widths[] = {natural + 2, natural * 9 / 10, natural / 2};
  for (int width : widths) {
    label->SetFixedWidth(width);
    Render();
  }
  ui::SetTextOverflowObserver(nullptr);
  // Fits: nothing said; a tenth too wide: drawn smaller; twice too wide: cut too.
  EXPECT_EQ((std::set<std::pair<int, bool>>{{widths[1], false}, {widths[2], true}}), reported);
  // Whatever happens, no ink leaves the label.
  const Rect& r = label->GetPos();
  for (int y = r.top; y < r.bottom; ++y) EXPECT_EQ(kWhite, Rgb(r.right, y)) << y;
}

TEST(TextLanguageTest, KanaAndHangulDecideOtherwiseTheInterfaceLanguage) {
  ui::SetTextLanguage("zh-tw");
  EXPECT_EQ("ja", ui::LanguageForText(L"日本語のテキスト"));
  EXPECT_EQ("ko", ui::LanguageForText(L"한국어"));
  EXPECT_EQ("zh-tw", ui::LanguageForText(L"繁體中文"));
  ui::SetTextLanguage("");
  EXPECT_EQ("en", ui::LanguageForText(L"繁體中文"));
}

// The skin names Windows fonts; mapped through fontconfig they must cover
// every script of the interface languages (no hex boxes for missing glyphs).
TEST(FontCoverageTest, EveryLanguagesScriptHasGlyphs) {
  const struct {
    const char* tag;
    const wchar_t* text;
  } samples[] = {
      {"en", L"Install now"},
      {"ru", L"Установить сейчас"},
      {"ar", L"التثبيت الآن"},
      {"hi", L"अभी इंस्टॉल करें"},
      {"th", L"ติดตั้งเลย"},
      {"ja", L"今すぐインストール"},
      {"ko", L"지금 설치"},
      {"zh-cn", L"立即安装"},
      {"zh-tw", L"立即安裝"},
      {"tr", L"Şimdi yükle"},
      {"cs", L"Nainstalovat nyní Čeština"},
      {"sv", L"Installera nu"},
  };
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  const std::vector<ui::FontSpec> fonts{{L"Microsoft YaHei", 12, false, false, false, true},
                                        {L"Times New Roman", 11, true, false, false, false},
                                        {L"Meiryo UI", 11, true, false, false, false},
                                        {L"batang", 11, true, false, false, false}};
  const ui::WindowAttributes window;
  ui::TextPainter painter(cr, fonts, window);
  for (const auto& sample : samples) {
    ui::SetTextLanguage(sample.tag);
    for (int font = 0; font < static_cast<int>(fonts.size()); ++font) {
      ui::LayoutPtr layout = painter.PlainLayout(sample.text, font);
      EXPECT_EQ(0, pango_layout_get_unknown_glyphs_count(layout.get()))
          << sample.tag << " in font " << font;
    }
  }
  ui::SetTextLanguage("");
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace
