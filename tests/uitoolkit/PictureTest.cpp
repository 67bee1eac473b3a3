// Pictures: where the parts of a descriptor go, which picture a state
// shows, masks, and the named pictures of a window (loaded, registered by
// the program, released all at once).
#include <gtest/gtest.h>

#include "ToolkitFixture.h"
#include "uitoolkit/ImageStore.h"
#include "uitoolkit/PicturePlan.h"
#include "uitoolkit/StateImages.h"
#include "uitoolkit/gtk/PixbufDecoder.h"

namespace {

using ui::PicturePiece;
using ui::Rect;

struct PlanCase {
  const char* what;
  const wchar_t* descriptor;
  int imageWidth, imageHeight;
  Rect bounds;
  std::vector<PicturePiece> pieces;
};

const PlanCase kPlans[] = {
    {"a bare path fills the control",
     L"skin\\bg.png",
     10,
     10,
     {5, 5, 25, 15},
     {{{0, 0, 10, 10}, {5, 5, 25, 15}}}},
    {"source picks a cell of a strip",
     L"file='btn.png' source='220,0,440,48'",
     880,
     48,
     {0, 0, 220, 48},
     {{{220, 0, 440, 48}, {0, 0, 220, 48}}}},
    {"a source beyond the picture is clamped",
     L"file='a.png' source='5,0,50,10'",
     20,
     10,
     {0, 0, 15, 10},
     {{{5, 0, 20, 10}, {0, 0, 15, 10}}}},
    {"dest is relative to the control and clamped into it",
     L"file='a.png' dest='0,0,648,358'",
     10,
     10,
     {100, 50, 400, 250},
     {{{0, 0, 10, 10}, {100, 50, 400, 250}}}},
    {"an empty source draws nothing",
     L"file='a.png' source='30,0,40,10'",
     20,
     10,
     {0, 0, 10, 10},
     {}},
    {"corners keep their size, edges and middle stretch",
     L"file='a.png' corner='4,0,4,0'",
     12,
     8,
     {0, 0, 100, 8},
     {{{0, 0, 4, 8}, {0, 0, 4, 8}},
      {{4, 0, 8, 8}, {4, 0, 96, 8}},
      {{8, 0, 12, 8}, {96, 0, 100, 8}}}},
    {"corners wider than the place shrink evenly",
     L"file='a.png' corner='4,0,4,0'",
     12,
     8,
     {0, 0, 6, 8},
     {{{0, 0, 3, 8}, {0, 0, 3, 8}}, {{9, 0, 12, 8}, {3, 0, 6, 8}}}},
};

class PicturePlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PicturePlanTest, PiecesGoWhereTheDescriptorSays) {
  const PlanCase& c = GetParam();
  const auto pieces =
      ui::PlanPicture(ui::ParsePicture(c.descriptor), c.imageWidth, c.imageHeight, c.bounds);
  EXPECT_EQ(c.pieces, pieces) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, PicturePlanTest, ::testing::ValuesIn(kPlans));

TEST(StateImagesTest, EachStateFallsBackToTheNormalPicture) {
  ui::StateImages images;
  ASSERT_TRUE(images.SetAttribute(L"", L"normalimage", L"n.png"));
  ASSERT_TRUE(images.SetAttribute(L"", L"hotimage", L"h.png"));
  EXPECT_FALSE(images.SetAttribute(L"", L"disableimage", L"d.png"));  // not an attribute
  EXPECT_EQ(L"n.png", images.ForState(ui::ControlState::Normal).file);
  EXPECT_EQ(L"h.png", images.ForState(ui::ControlState::Hot).file);
  EXPECT_EQ(L"n.png", images.ForState(ui::ControlState::Pushed).file);
  EXPECT_EQ(L"n.png", images.ForState(ui::ControlState::Disabled).file);
}

class ImageStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::InstallPixbufDecoder();
    fixture_.SetFiles(
        {{"skin/Combo_over.png",
          uitest::MakePng(2, 1, [](int x, int) { return x == 0 ? 0xFFFF00FFu : 0xFF102030u; })},
         {"skin/broken.png", "not a picture"}});
  }
  uitest::MarkupFixture fixture_;
};

TEST_F(ImageStoreTest, PackagePicturesLoadOnceWithTheirMask) {
  ui::ImageStore store(&fixture_.Package());
  const ui::BitmapPtr plain = store.Get(L"skin\\combo_over.png");
  ASSERT_NE(nullptr, plain);
  EXPECT_EQ(0xFFFF00FFu, plain->At(0, 0));
  EXPECT_EQ(plain, store.Get(L"SKIN/Combo_Over.png"));  // kept, found whatever the spelling
  const ui::BitmapPtr masked = store.Get(L"skin\\Combo_over.png", 0xFFFF00FFu, true);
  ASSERT_NE(nullptr, masked);
  EXPECT_EQ(0u, masked->At(0, 0));
  EXPECT_EQ(0xFF102030u, masked->At(1, 0));
  EXPECT_EQ(nullptr, store.Get(L"skin\\missing.png"));
  EXPECT_EQ(nullptr, store.Get(L"skin\\broken.png"));
}

TEST_F(ImageStoreTest, RegisteredPicturesShadowThePackageAndGoAllAtOnce) {
  ui::ImageStore store(&fixture_.Package());
  const ui::BitmapPtr kept = store.Get(L"skin\\combo_over.png");
  store.Add(L"FirstFrame", ui::Bitmap(650, 300, 0xFFFFFFFFu));
  store.Add(L"skin\\combo_over.png", ui::Bitmap(1, 1, 0xFF000000u));
  EXPECT_TRUE(store.Has(L"firstframe"));
  EXPECT_EQ(650, store.Get(L"FirstFrame")->width);
  EXPECT_EQ(1, store.Get(L"skin/Combo_over.png")->width);
  store.RemoveAll();
  EXPECT_FALSE(store.Has(L"FirstFrame"));
  EXPECT_EQ(nullptr, store.Get(L"FirstFrame"));
  EXPECT_EQ(2, store.Get(L"skin/Combo_over.png")->width);  // the package's again
  EXPECT_EQ(2, kept->width);                               // handed-out pictures stay valid
}

}  // namespace
