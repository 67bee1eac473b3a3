#include <gtest/gtest.h>

#include <memory>

#include "uitoolkit/BoxLayouts.h"
#include "uitoolkit/Button.h"
#include "uitoolkit/CheckBox.h"
#include "uitoolkit/Combo.h"
#include "uitoolkit/ControlFactory.h"
#include "uitoolkit/ListLabelElement.h"
#include "uitoolkit/Progress.h"
#include "uitoolkit/ScrollBar.h"
#include "uitoolkit/TabLayout.h"
#include "uitoolkit/Text.h"

namespace {

using ui::Rect;

TEST(ControlTest, CommonAttributesAreTyped) {
  ui::Text text;
  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } attributes[] = {
      {L"name", L"license_text"},
      {L"width", L"120"},
      {L"height", L"30"},
      {L"padding", L"1,2,3,4"},
      {L"inset", L"5,6,7,8"},
      {L"bkcolor", L"#f7f7f7"},
      {L"bkimage", L"skin\\bg.png"},
      {L"bordersize", L"1"},
      {L"bordercolor", L"#e6e6e6"},
      {L"text", L"{a}x{/a}"},
      {L"font", L"4"},
      {L"textcolor", L"#333333"},
      {L"disabledtextcolor", L"#FF999999"},
      {L"align", L"right"},
      {L"visible", L"false"},
      {L"enabled", L"false"},
      {L"tooltip", L"tip"},
      {L"showhtml", L"true"},
      {L"multiline", L"true"},
      {L"menu", L"true"},
  };
  for (const auto& a : attributes) EXPECT_TRUE(text.SetAttribute(a.name, a.value)) << a.name;
  EXPECT_EQ(L"license_text", text.GetName());
  EXPECT_EQ(120, text.GetFixedWidth());
  EXPECT_EQ(30, text.GetFixedHeight());
  EXPECT_EQ((Rect{1, 2, 3, 4}), text.GetPadding());
  EXPECT_EQ((Rect{5, 6, 7, 8}), text.GetInset());
  EXPECT_EQ(0x00F7F7F7u, text.GetBkColor());
  EXPECT_EQ(L"skin\\bg.png", text.GetBkImage().file);
  EXPECT_EQ((Rect{1, 1, 1, 1}), text.GetBorderSize());
  EXPECT_EQ(0x00E6E6E6u, text.GetBorderColor());
  EXPECT_EQ(L"{a}x{/a}", text.GetText());
  EXPECT_EQ(4, text.GetFont());
  EXPECT_EQ(0x00333333u, text.GetTextColor().value());
  EXPECT_EQ(0xFF999999u, text.GetDisabledTextColor().value());
  EXPECT_EQ(ui::TextAlign::Right, text.GetAlign());
  EXPECT_FALSE(text.IsVisible());
  EXPECT_FALSE(text.IsEnabled());
  EXPECT_EQ(L"tip", text.GetToolTip());
  EXPECT_TRUE(text.IsShowHtml());
  EXPECT_TRUE(text.IsMultiLine());
  EXPECT_TRUE(text.HasMenu());
}

TEST(ControlTest, UnknownAttributesAndBadColoursLeaveTheControlAsItWas) {
  ui::Button button;
  ASSERT_TRUE(button.SetAttribute(L"normalimage", L"file='skin\\btn.png' source='0,0,200,44'"));
  ASSERT_TRUE(button.SetAttribute(L"textcolor", L"#FF000000"));
  EXPECT_FALSE(button.SetAttribute(L"disableimage", L"skin\\btn_disabled.png"));
  EXPECT_FALSE(button.SetAttribute(L"animation_direction", L"vertical"));
  EXPECT_TRUE(button.SetAttribute(L"textcolor", L"black"));
  EXPECT_TRUE(button.GetImages().disabled.IsEmpty());  // the normal picture stands in
  EXPECT_EQ(L"skin\\btn.png", button.GetImages().normal.file);
  EXPECT_EQ(0xFF000000u, button.GetTextColor().value());
  EXPECT_EQ(ui::TextAlign::Center, button.GetAlign());
}

TEST(ControlTest, FactoryKnowsEveryMarkupClass) {
  const wchar_t* classes[] = {L"Control",   L"Container", L"VerticalLayout", L"HorizontalLayout",
                              L"TabLayout", L"Label",     L"Text",           L"Button",
                              L"Option",    L"CheckBox",  L"Combo",          L"ListLabelElement",
                              L"Edit",      L"Progress",  L"RichEdit"};
  for (const wchar_t* name : classes) {
    const std::unique_ptr<ui::Control> control = ui::CreateControl(name);
    ASSERT_NE(nullptr, control) << name;
    EXPECT_EQ(name, control->GetClass());
  }
  EXPECT_EQ(nullptr, ui::CreateControl(L"Window"));
  EXPECT_EQ(nullptr, ui::CreateControl(L"button"));
  EXPECT_EQ(nullptr, ui::CreateControl(L"VScrollBar"));
}

TEST(ControlTest, ContainerOwnsChildrenAndLinksParents) {
  ui::VerticalLayout layout;
  ui::Control* child = layout.Add(std::make_unique<ui::Label>());
  EXPECT_EQ(nullptr, layout.Add(nullptr));
  ASSERT_EQ(1u, layout.GetCount());
  EXPECT_EQ(&layout, child->GetParent());
  EXPECT_EQ(0, layout.GetItemIndex(child));
  std::unique_ptr<ui::Control> taken = layout.TakeAt(0);
  EXPECT_EQ(child, taken.get());
  EXPECT_EQ(nullptr, taken->GetParent());
  EXPECT_EQ(nullptr, layout.TakeAt(0));
}

TEST(ControlTest, TabLayoutSelectsOnlyExistingPages) {
  ui::TabLayout tabs;
  tabs.SetAttribute(L"selectedid", L"1");
  EXPECT_EQ(1, tabs.GetCurSel());
  EXPECT_EQ(nullptr, tabs.GetSelectedItem());
  tabs.Add(std::make_unique<ui::VerticalLayout>());
  ui::Control* second = tabs.Add(std::make_unique<ui::VerticalLayout>());
  EXPECT_EQ(second, tabs.GetSelectedItem());
  EXPECT_TRUE(tabs.SelectItem(0));
  EXPECT_FALSE(tabs.SelectItem(2));
  EXPECT_FALSE(tabs.SelectItem(-1));
  EXPECT_EQ(0, tabs.GetCurSel());
}

std::unique_ptr<ui::ListLabelElement> Item(bool selected) {
  auto item = std::make_unique<ui::ListLabelElement>();
  item->SetAttribute(L"selected", selected ? L"true" : L"false");
  return item;
}

TEST(ControlTest, ComboFollowsSelectedItems) {
  ui::Combo combo;
  EXPECT_TRUE(combo.SetAttribute(L"dropboxsize", L"0,200"));
  EXPECT_TRUE(combo.SetAttribute(L"itemselectedbkcolor", L"#FFEEEEEE"));
  EXPECT_TRUE(combo.SetAttribute(L"itemfont", L"3"));
  EXPECT_TRUE(combo.SetAttribute(L"hotimage", L"skin\\Combo_over.png"));
  EXPECT_EQ(-1, combo.GetCurSel());
  combo.Add(Item(false));
  combo.Add(Item(true));
  combo.Add(Item(false));
  EXPECT_EQ(1, combo.GetCurSel());
  EXPECT_TRUE(combo.SelectItem(2));
  EXPECT_FALSE(static_cast<ui::ListLabelElement*>(combo.GetItemAt(1))->IsSelected());
  EXPECT_TRUE(static_cast<ui::ListLabelElement*>(combo.GetItemAt(2))->IsSelected());
  EXPECT_FALSE(combo.SelectItem(3));
  EXPECT_EQ(2, combo.GetCurSel());
  EXPECT_EQ(200, combo.GetDropBoxSize().cy);
  EXPECT_EQ(0xFFEEEEEEu, combo.GetItemColours().selectedBk.value());
  EXPECT_EQ(3, combo.GetItemFont());
  EXPECT_EQ(L"skin\\Combo_over.png", combo.GetImages().hot.file);
}

TEST(ControlTest, SelectingAnOptionClearsItsGroupButNotCheckBoxes) {
  ui::HorizontalLayout row;
  auto make = [&row](std::unique_ptr<ui::Option> option, const wchar_t* group) {
    option->SetAttribute(L"group", group);
    option->SetAttribute(L"selected", L"true");
    return static_cast<ui::Option*>(row.Add(std::move(option)));
  };
  ui::Option* first = make(std::make_unique<ui::Option>(), L"image_play_option");
  ui::Option* second = make(std::make_unique<ui::Option>(), L"image_play_option");
  ui::Option* other = make(std::make_unique<ui::Option>(), L"other");
  ui::Option* check = make(std::make_unique<ui::CheckBox>(), L"image_play_option");
  EXPECT_TRUE(check->GetGroup().empty());
  second->Select(true);
  EXPECT_FALSE(first->IsSelected());
  EXPECT_TRUE(second->IsSelected());
  EXPECT_TRUE(other->IsSelected());
  EXPECT_TRUE(check->IsSelected());
}

TEST(ControlTest, ProgressAndScrollBarAttributes) {
  ui::Progress progress;
  progress.SetAttribute(L"max", L"100");
  progress.SetAttribute(L"value", L"42");
  progress.SetAttribute(L"hor", L"false");
  progress.SetAttribute(L"foreimage", L"file='skin\\progress_fore.png' corner='4,0,4,0'");
  EXPECT_EQ(42, progress.GetValue());
  EXPECT_FALSE(progress.IsHorizontal());
  EXPECT_EQ((Rect{4, 0, 4, 0}), progress.GetForeImage().corner);

  ui::ScrollBar bar(false);
  EXPECT_EQ(L"VScrollBar", bar.GetClass());
  EXPECT_EQ(L"HScrollBar", ui::ScrollBar(true).GetClass());
  EXPECT_TRUE(bar.SetAttribute(L"thumbhotimage", L"skin\\thumb_hot.png"));
  EXPECT_TRUE(bar.SetAttribute(L"bknormalimage", L"skin\\rail.png"));
  EXPECT_TRUE(bar.SetAttribute(L"showbutton1", L"false"));
  EXPECT_TRUE(bar.SetAttribute(L"bkimage", L"skin\\bk.png"));
  EXPECT_EQ(L"skin\\thumb_hot.png", bar.GetThumbImages().hot.file);
  EXPECT_EQ(L"skin\\rail.png", bar.GetBackImages().normal.file);
  EXPECT_EQ(L"skin\\bk.png", bar.GetBkImage().file);
  EXPECT_FALSE(bar.ShowsButton1());
}

}  // namespace
