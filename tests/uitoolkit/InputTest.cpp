// Hit testing and the notifications a press and release raise: buttons,
// floats over pictures, disabled controls, option groups, check boxes,
// combo boxes with their drop-down list, links inside a text, the wheel.
#include <cairo.h>
#include <gtest/gtest.h>

#include "ToolkitFixture.h"
#include "uitoolkit/Combo.h"
#include "uitoolkit/ControlSearch.h"
#include "uitoolkit/DropList.h"
#include "uitoolkit/HitTest.h"
#include "uitoolkit/InputRouter.h"
#include "uitoolkit/Option.h"
#include "uitoolkit/ScrollBar.h"
#include "uitoolkit/TabLayout.h"
#include "uitoolkit/Text.h"
#include "uitoolkit/gtk/Painter.h"

namespace {

using ui::Rect;

// A 400 x 200 window: a row of controls at the top, an option group laid
// over a picture, a combo box, a text with two links and a scrolling list.
constexpr char kWindow[] = R"(<Window size="400,200">
  <Font name="Microsoft YaHei" size="12" default="true"/>
  <VerticalLayout name="root">
    <HorizontalLayout name="row" height="30">
      <Button name="ok" width="80"/><Button name="off" width="80" enabled="false"/>
      <CheckBox name="check" width="20"/><Label name="caption" width="100" text="plain"/>
      <Combo name="combo" width="100" dropboxsize="0,56">
        <ListLabelElement text="zero" height="28"/><ListLabelElement text="one" height="28" selected="true"/>
        <ListLabelElement text="hidden" height="28" visible="false"/>
        <ListLabelElement text="off" height="28" enabled="false"/><ListLabelElement text="four" height="28"/>
      </Combo>
    </HorizontalLayout>
    <Container name="picture" height="40">
      <Option name="dot1" float="true" pos="10,10,30,30" group="dots" selected="true"/>
      <Option name="dot2" float="true" pos="40,10,60,30" group="dots"/>
    </Container>
    <Text name="links" height="30" showhtml="true" text="Read {a}one{/a} and {a}two{/a} now"/>
    <VerticalLayout name="list" vscrollbar="true"><Control height="300"/></VerticalLayout>
  </VerticalLayout>
</Window>)";

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_.SetFiles({{"window.xml", kWindow}});
    markup_ = fixture_.Build();
    ASSERT_NE(nullptr, markup_.root);
    markup_.root->SetOwner(&owner_);
    markup_.root->SetPos(Rect{0, 0, 400, 200});
    router_.SetRoot(markup_.root.get());
  }
  ui::Control* Find(const wchar_t* name) { return ui::FindControl(markup_.root.get(), name); }
  static int CentreX(const ui::Control* c) { return (c->GetPos().left + c->GetPos().right) / 2; }
  static int CentreY(const ui::Control* c) { return (c->GetPos().top + c->GetPos().bottom) / 2; }
  void Click(int x, int y) {
    router_.MouseMove(x, y);
    ASSERT_TRUE(router_.MouseDown(x, y, 1, false));
    router_.MouseUp(x, y);
  }
  void Click(const wchar_t* name) { Click(CentreX(Find(name)), CentreY(Find(name))); }

  uitest::MarkupFixture fixture_;
  ui::WindowMarkup markup_;
  uitest::RecordingOwner owner_;
  ui::InputRouter router_;
};

TEST_F(InputTest, HitTestingFindsTheDeepestShownControl) {
  EXPECT_EQ(Find(L"ok"), ui::FindControlAt(markup_.root.get(), 5, 5));
  // A float over its picture is found before the picture.
  EXPECT_EQ(Find(L"dot2"), ui::FindControlAt(markup_.root.get(), 45, 45));
  EXPECT_EQ(Find(L"picture"), ui::FindControlAt(markup_.root.get(), 100, 45));
  // Only the controls that take the mouse answer the interactive search:
  // the plain label and the picture leave the press to the window (caption drag).
  EXPECT_EQ(nullptr, ui::FindInteractiveAt(markup_.root.get(), CentreX(Find(L"caption")), 15));
  EXPECT_EQ(nullptr, ui::FindInteractiveAt(markup_.root.get(), 100, 45));
  EXPECT_FALSE(router_.MouseDown(100, 45, 1, false));
  EXPECT_EQ(nullptr, ui::FindControlAt(markup_.root.get(), 500, 5));
  Find(L"ok")->SetVisible(false);
  markup_.root->SetPos(Rect{0, 0, 400, 200});
  EXPECT_NE(Find(L"ok"), ui::FindControlAt(markup_.root.get(), 5, 5));
}

TEST_F(InputTest, AClickNeedsPressAndReleaseOnTheSameEnabledControl) {
  Click(L"ok");
  Click(L"off");
  // Pressed on one button, released on another: no click anywhere.
  ASSERT_TRUE(router_.MouseDown(5, 5, 1, false));
  EXPECT_TRUE(Find(L"ok")->IsPushed());
  router_.MouseMove(85, 5);
  EXPECT_FALSE(Find(L"ok")->IsPushed());  // pushed only while the pointer is over it
  router_.MouseUp(85, 5);
  EXPECT_EQ((std::vector<std::string>{"click:ok"}), owner_.Names());
  EXPECT_FALSE(Find(L"off")->IsHot());
}

TEST_F(InputTest, OptionGroupsKeepOneSelectedAndReportTheChange) {
  auto* dot1 = static_cast<ui::Option*>(Find(L"dot1"));
  auto* dot2 = static_cast<ui::Option*>(Find(L"dot2"));
  Click(L"dot2");
  EXPECT_TRUE(dot2->IsSelected());
  EXPECT_FALSE(dot1->IsSelected());
  // Clicking the selected one again changes nothing but still clicks.
  Click(L"dot2");
  EXPECT_TRUE(dot2->IsSelected());
  // The program checking an option raises the change too (the carousel's tick).
  dot1->Select(true);
  EXPECT_FALSE(dot2->IsSelected());
  EXPECT_EQ((std::vector<std::string>{"click:dot2", "selectchanged:dot2", "click:dot2",
                                      "selectchanged:dot1"}),
            owner_.Names());
}

TEST_F(InputTest, CheckBoxToggles) {
  auto* check = static_cast<ui::Option*>(Find(L"check"));
  Click(L"check");
  EXPECT_TRUE(check->IsSelected());
  Click(L"check");
  EXPECT_FALSE(check->IsSelected());
  EXPECT_EQ((std::vector<std::string>{"click:check", "selectchanged:check", "click:check",
                                      "selectchanged:check"}),
            owner_.Names());
}

TEST_F(InputTest, ComboOpensItsListWhichSkipsHiddenItemsAndReportsTheChoice) {
  auto* combo = static_cast<ui::Combo*>(Find(L"combo"));
  Click(L"combo");
  ASSERT_EQ(1u, owner_.dropLists.size());
  EXPECT_EQ(combo, owner_.dropLists[0]);
  ui::DropList list(*combo);
  EXPECT_EQ((std::vector<int>{0, 1, 3, 4}), list.GetRows());
  EXPECT_EQ(100, list.GetSize().cx);  // the box's width when the list names none
  EXPECT_EQ(56, list.GetSize().cy);
  EXPECT_TRUE(list.HasScrollBar());
  EXPECT_EQ(1, list.GetHot());  // opens on the selection
  EXPECT_EQ(0, list.ItemAt(10, 10));
  list.ScrollBy(1000);
  EXPECT_EQ(56, list.GetScroll());  // 4 rows of 28 in a list 56 high
  EXPECT_EQ(4, list.ItemAt(10, 40));
  EXPECT_FALSE(list.Choose(2));  // hidden
  EXPECT_FALSE(list.Choose(3));  // disabled
  EXPECT_TRUE(list.Choose(4));
  EXPECT_EQ(4, combo->GetCurSel());
  EXPECT_EQ(L"four", combo->GetSelectedText());
  EXPECT_TRUE(list.Choose(4));  // the same item again raises nothing
  ui::KeyEvent up;
  up.key = ui::Key::Up;
  list.SetHot(4);
  EXPECT_EQ(ui::DropList::KeyResult::Moved, list.HandleKey(up));
  EXPECT_EQ(1, list.GetHot());  // over the disabled and the hidden item
  ASSERT_EQ(1u, owner_.notifications.size());
  const ui::Notification& n = owner_.notifications[0];
  EXPECT_EQ(L"itemselect", n.type);
  EXPECT_EQ(4u, n.wParam);
  EXPECT_EQ(1, n.lParam);
  // The program's own selection is silent.
  combo->SelectItem(0);
  EXPECT_EQ(1u, owner_.notifications.size());
}

TEST_F(InputTest, LinksInsideATextRaiseLinkWithTheirNumber) {
  // Painting measures where the links landed.
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 200);
  cairo_t* cr = cairo_create(surface);
  ui::ImageStore images(&fixture_.Package());
  ui::Painter(cr, markup_, images).PaintWindow(markup_.root.get(), 400, 200);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  auto* text = static_cast<ui::Text*>(Find(L"links"));
  ASSERT_EQ(2u, text->GetLinkAreas().size());
  const Rect second = text->GetLinkAreas()[1].rect;
  const Rect first = text->GetLinkAreas()[0].rect;
  EXPECT_LT(first.right, second.left);
  // Over a link the text takes the press; beside it the window does.
  EXPECT_FALSE(router_.MouseDown(text->GetPos().left + 2, CentreY(text), 1, false));
  Click((second.left + second.right) / 2, (second.top + second.bottom) / 2);
  router_.MouseMove((first.left + first.right) / 2, (first.top + first.bottom) / 2);
  EXPECT_EQ(0, text->GetHotLink());
  EXPECT_EQ(ui::CursorKind::Hand,
            router_.CursorAt((first.left + first.right) / 2, (first.top + first.bottom) / 2));
  ASSERT_EQ(1u, owner_.notifications.size());
  EXPECT_EQ(L"link", owner_.notifications[0].type);
  EXPECT_EQ(text, owner_.notifications[0].sender);
  EXPECT_EQ(1u, owner_.notifications[0].wParam);
}

TEST_F(InputTest, WheelScrollsTheViewUnderThePointer) {
  ui::Container* list = Find(L"list")->AsContainer();
  EXPECT_TRUE(router_.Wheel(200, 150, 1));
  EXPECT_EQ(ui::InputRouter::kWheelStep, list->GetVerticalScrollBar()->GetScrollPos());
  EXPECT_FALSE(router_.Wheel(5, 5, 1));  // nothing scrolls over the buttons
}

TEST_F(InputTest, ControlsLeavingTheViewAreForgotten) {
  router_.MouseMove(5, 5);
  ASSERT_EQ(Find(L"ok"), router_.GetHot());
  router_.Forget(Find(L"row"));
  EXPECT_EQ(nullptr, router_.GetHot());
}

}  // namespace
