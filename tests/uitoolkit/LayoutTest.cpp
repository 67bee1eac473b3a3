// Layout arithmetic: fixed and shared sizes, padding, inset, childpadding,
// nesting, visibility, floats, tabs and scrolling, one markup per case.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "ToolkitFixture.h"
#include "uitoolkit/Container.h"
#include "uitoolkit/ControlSearch.h"
#include "uitoolkit/HitTest.h"
#include "uitoolkit/Label.h"
#include "uitoolkit/ScrollBar.h"

namespace {

using ui::Rect;

struct Expected {
  const wchar_t* name;
  Rect pos;
};

struct LayoutCase {
  const char* what;
  int width;
  int height;
  const char* markup;
  std::vector<Expected> expected;
};

const LayoutCase kCases[] = {
    {"fixed heights first, the rest shared equally with the odd pixel to the first",
     100,
     101,
     R"(<VerticalLayout name="root"><Control name="a" height="20"/><Control name="b"/>
        <Control name="c"/></VerticalLayout>)",
     {{L"a", {0, 0, 100, 20}}, {L"b", {0, 20, 100, 61}}, {L"c", {0, 61, 100, 101}}}},
    {"inset shrinks the area, childpadding separates, padding takes room around a child",
     200,
     100,
     R"(<VerticalLayout name="root" inset="10,5,20,15" childpadding="4">
          <Control name="a" height="10" padding="3,2,7,1"/><Control name="b"/></VerticalLayout>)",
     {{L"a", {13, 7, 173, 17}}, {L"b", {10, 22, 180, 85}}}},
    {"a fixed width across a vertical stack starts at the left edge plus padding",
     200,
     50,
     R"(<VerticalLayout name="root"><Control name="a" width="50" height="10" padding="6,0,0,0"/>
        </VerticalLayout>)",
     {{L"a", {6, 0, 56, 10}}}},
    {"horizontal stacks share widths; a fixed height sits at the top plus padding",
     300,
     24,
     R"(<HorizontalLayout name="root" childpadding="6"><Control name="box" width="16" height="16"
          padding="0,4,0,4"/><Control name="text" width="100"/><Control name="gap"/>
          <Control name="button" width="60"/></HorizontalLayout>)",
     {{L"box", {0, 4, 16, 20}},
      {L"text", {22, 0, 122, 24}},
      {L"gap", {128, 0, 234, 24}},
      {L"button", {240, 0, 300, 24}}}},
    {"hidden children take no room and no gap",
     100,
     100,
     R"(<VerticalLayout name="root" childpadding="10"><Control name="a" height="20"/>
        <Control name="hidden" height="30" visible="false"/><Control name="b"/></VerticalLayout>)",
     {{L"a", {0, 0, 100, 20}}, {L"b", {0, 30, 100, 100}}}},
    {"nested layouts: the inner one lays out inside the place it was given",
     200,
     100,
     R"(<VerticalLayout name="root"><Control height="40"/><HorizontalLayout name="row" inset="5,5,5,5">
          <Control name="left"/><Control name="right" width="30"/></HorizontalLayout></VerticalLayout>)",
     {{L"row", {0, 40, 200, 100}}, {L"left", {5, 45, 165, 95}}, {L"right", {165, 45, 195, 95}}}},
    {"fixed sizes beyond the area overflow instead of shrinking",
     100,
     50,
     R"(<VerticalLayout name="root"><Control name="a" height="40"/><Control name="b" height="40"/>
        <Control name="c"/></VerticalLayout>)",
     {{L"a", {0, 0, 100, 40}}, {L"b", {0, 40, 100, 80}}, {L"c", {0, 80, 100, 80}}}},
    {"float children sit at pos from the parent's corner, outside the stacking",
     650,
     360,
     R"(<VerticalLayout name="root" inset="1,1,1,1"><Control name="page"/>
        <Button name="close" float="true" pos="612,8,636,32"/></VerticalLayout>)",
     {{L"page", {1, 1, 649, 359}}, {L"close", {612, 8, 636, 32}}}},
    {"a plain container and a tab layout give every child the whole area",
     100,
     80,
     R"(<TabLayout name="root" selectedid="1" inset="2,2,2,2"><Control name="t0"/>
        <Container name="t1"><Control name="inner" width="10" height="10" padding="3,4,0,0"/>
        </Container></TabLayout>)",
     {{L"t0", {2, 2, 98, 78}}, {L"t1", {2, 2, 98, 78}}, {L"inner", {5, 6, 15, 16}}}},
};

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {
 protected:
  uitest::MarkupFixture fixture_;
};

TEST_P(LayoutTest, PlacesEveryNamedControl) {
  const LayoutCase& c = GetParam();
  fixture_.SetFiles({{"window.xml", std::string("<Window>") + c.markup + "</Window>"}});
  ui::WindowMarkup markup = fixture_.Build();
  ASSERT_NE(nullptr, markup.root) << c.what;
  markup.root->SetPos(Rect{0, 0, c.width, c.height});
  for (const Expected& e : c.expected) {
    const ui::Control* control = ui::FindControl(markup.root.get(), e.name);
    ASSERT_NE(nullptr, control) << c.what;
    const Rect& p = control->GetPos();
    EXPECT_EQ(e.pos, p) << c.what << ": " << std::string(e.name, e.name + wcslen(e.name)) << " at "
                        << p.left << "," << p.top << "," << p.right << "," << p.bottom;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LayoutTest, ::testing::ValuesIn(kCases));

class ScrollLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_.SetFiles({{"window.xml",
                        R"(<Window><Default name="VScrollBar" value="width=&quot;8&quot;"/>
        <VerticalLayout name="view" vscrollbar="true" inset="20,10,12,10">
          <VerticalLayout name="content" height="500"><Control name="top" height="10"/>
            <Text name="text" multiline="true"/></VerticalLayout>
        </VerticalLayout></Window>)"}});
    markup_ = fixture_.Build();
    ASSERT_NE(nullptr, markup_.root);
    view_ = markup_.root->AsContainer();
    view_->SetPos(Rect{0, 0, 300, 220});
  }
  uitest::MarkupFixture fixture_;
  ui::WindowMarkup markup_;
  ui::Container* view_ = nullptr;
};

TEST_F(ScrollLayoutTest, TallContentGetsABarAndMovesWithIt) {
  ui::ScrollBar* bar = view_->GetVerticalScrollBar();
  ASSERT_NE(nullptr, bar);
  EXPECT_TRUE(bar->IsActive());
  // The bar takes its width inside the inset; the content the rest.
  EXPECT_EQ((Rect{280, 10, 288, 210}), bar->GetPos());
  EXPECT_EQ((Rect{20, 10, 280, 210}), view_->GetClientRect());
  EXPECT_EQ(300, bar->GetScrollRange());
  const ui::Control* content = ui::FindControl(view_, L"content");
  EXPECT_EQ((Rect{20, 10, 280, 510}), content->GetPos());

  EXPECT_TRUE(view_->ScrollBy(120));
  view_->SetPos(view_->GetPos());
  EXPECT_EQ((Rect{20, -110, 280, 390}), content->GetPos());
  EXPECT_EQ((Rect{20, -110, 280, -100}), ui::FindControl(view_, L"top")->GetPos());
  // Scrolling stops at both ends.
  EXPECT_TRUE(view_->ScrollBy(10000));
  EXPECT_EQ(300, bar->GetScrollPos());
  EXPECT_FALSE(view_->ScrollBy(1));
  EXPECT_TRUE(view_->ScrollBy(-10000));
  EXPECT_EQ(0, bar->GetScrollPos());
}

TEST_F(ScrollLayoutTest, RangeEndsAtTheLastLineOfAWrappedText) {
  ui::ScrollBar* bar = view_->GetVerticalScrollBar();
  auto* text = static_cast<ui::Label*>(ui::FindControl(view_, L"text"));
  // Painting measured 250 pixels of text in the 490 its box has: the view
  // scrolls to the text's end and the inset below it, not to the box's end.
  text->SetTextHeight(250);
  view_->ScrollBy(1000);
  view_->SetPos(view_->GetPos());
  EXPECT_EQ(10 + 250 + 10 - 200, bar->GetScrollRange());
  EXPECT_EQ(bar->GetScrollRange(), bar->GetScrollPos());
  EXPECT_EQ(10 - 70 + 10, text->GetPos().top);  // laid out at the clamped position
  // A text taller than its box ends where the box does.
  text->SetTextHeight(5000);
  view_->SetPos(view_->GetPos());
  EXPECT_EQ(300, bar->GetScrollRange());
}

TEST_F(ScrollLayoutTest, ContentThatFitsHasNoBarAndTheFullWidth) {
  ui::Control* content = ui::FindControl(view_, L"content");
  content->SetFixedHeight(150);
  view_->SetPos(view_->GetPos());
  EXPECT_FALSE(view_->GetVerticalScrollBar()->IsActive());
  EXPECT_EQ((Rect{20, 10, 288, 160}), content->GetPos());
  EXPECT_FALSE(view_->ScrollBy(10));
}

TEST_F(ScrollLayoutTest, ThumbDragMapsToTheScrollRange) {
  ui::ScrollBar* bar = view_->GetVerticalScrollBar();
  // 200 pixels of rail for 500 of content: a thumb of 80.
  const Rect thumb = bar->GetThumbRect();
  EXPECT_EQ(80, thumb.bottom - thumb.top);
  bar->Press(284, thumb.top + 5);
  ASSERT_TRUE(bar->IsDragging());
  bar->DragTo(284, 10 + 60 + 5);  // the thumb's top half-way along its 120 pixels of travel
  EXPECT_EQ(150, bar->GetScrollPos());
  bar->DragTo(284, 5000);
  EXPECT_EQ(300, bar->GetScrollPos());
  bar->Release();
  // A press on the rail below the thumb moves by one view.
  bar->SetScrollPos(0);
  bar->Press(284, 200);
  EXPECT_EQ(200, bar->GetScrollPos());
}

}  // namespace
