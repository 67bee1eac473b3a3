#include <gtest/gtest.h>

#include "uitoolkit/Values.h"

namespace {

using ui::Rect;

TEST(ValuesTest, Colours) {
  const struct {
    const wchar_t* text;
    bool valid;
    uint32_t argb;
  } cases[] = {
      {L"#FF472e01", true, 0xFF472E01u},
      {L"#ff28bf74", true, 0xFF28BF74u},
      {L"#e6e6e6", true, 0x00E6E6E6u},  // six digits: alpha 0
      {L"  #FFF7F7F7 ", true, 0xFFF7F7F7u},
      {L"#0", true, 0u},
      {L"FF472e01", false, 0u},
      {L"#", false, 0u},
      {L"#FF472e0g", false, 0u},
      {L"#FF472e01FF", false, 0u},  // more than 32 bits
      {L"", false, 0u},
      {L"red", false, 0u},
  };
  for (const auto& c : cases) {
    uint32_t argb = 0x12345678u;
    EXPECT_EQ(c.valid, ui::ParseColour(c.text, &argb)) << c.text;
    EXPECT_EQ(c.argb, argb) << c.text;
  }
}

TEST(ValuesTest, NumberListsFillMissingOrUnreadableNumbersWithZero) {
  EXPECT_EQ((Rect{4, 4, 6, 6}), ui::ParseRect(L"4,4,6,6"));
  EXPECT_EQ((Rect{0, 0, 0, 310}), ui::ParseRect(L" 0, 0 ,0 , 310 "));
  EXPECT_EQ((Rect{1, 2, 0, 0}), ui::ParseRect(L"1,2"));
  EXPECT_EQ((Rect{1, 0, 3, 0}), ui::ParseRect(L"1,x,3"));
  EXPECT_EQ((Rect{-5, 2, 3, 4}), ui::ParseRect(L"-5,2,3,4,99"));
  EXPECT_EQ((Rect{}), ui::ParseRect(L""));
  EXPECT_EQ((ui::Size{650, 560}), ui::ParseSize(L"650,560"));
  EXPECT_EQ((ui::Size{650, 0}), ui::ParseSize(L"650"));
  EXPECT_EQ(2147483647, ui::ParseInt(L"99999999999"));
  EXPECT_EQ(12, ui::ParseInt(L" 12px"));
  EXPECT_EQ(0, ui::ParseInt(L"abc"));
}

TEST(ValuesTest, BordersizeTakesOneOrFourNumbers) {
  EXPECT_EQ((Rect{1, 1, 1, 1}), ui::ParseBorderSize(L"1"));
  EXPECT_EQ((Rect{0, 1, 0, 2}), ui::ParseBorderSize(L"0,1,0,2"));
}

TEST(ValuesTest, Booleans) {
  EXPECT_TRUE(ui::ParseBool(L"true"));
  EXPECT_TRUE(ui::ParseBool(L" TRUE "));
  EXPECT_FALSE(ui::ParseBool(L"false"));
  EXPECT_FALSE(ui::ParseBool(L"1"));
  EXPECT_FALSE(ui::ParseBool(L"truth"));
  EXPECT_FALSE(ui::ParseBool(L""));
}

TEST(ValuesTest, BarePicturePathIsTheFile) {
  const ui::PictureDescriptor p = ui::ParsePicture(L" skin\\OptionNormal.png ");
  EXPECT_EQ(L"skin\\OptionNormal.png", p.file);
  EXPECT_FALSE(p.hasSource || p.hasCorner || p.hasDest || p.hasMask);
}

TEST(ValuesTest, PictureKeyValueList) {
  const ui::PictureDescriptor p = ui::ParsePicture(
      L"file='skin\\btn_install.png' source='0,0,200,44' corner='2,2,2,2' "
      L"dest='1,2,3,4' mask='#FFFF00FF' fade='200'");
  EXPECT_EQ(L"skin\\btn_install.png", p.file);
  EXPECT_TRUE(p.hasSource);
  EXPECT_EQ((Rect{0, 0, 200, 44}), p.source);
  EXPECT_TRUE(p.hasCorner);
  EXPECT_EQ((Rect{2, 2, 2, 2}), p.corner);
  EXPECT_TRUE(p.hasDest);
  EXPECT_EQ((Rect{1, 2, 3, 4}), p.dest);
  EXPECT_TRUE(p.hasMask);
  EXPECT_EQ(0xFFFF00FFu, p.mask);
}

TEST(ValuesTest, BrokenPictureListsKeepWhatCameBefore) {
  const ui::PictureDescriptor unterminated = ui::ParsePicture(L"file='a.png' source='0,0,1");
  EXPECT_EQ(L"a.png", unterminated.file);
  EXPECT_FALSE(unterminated.hasSource);
  const ui::PictureDescriptor badMask = ui::ParsePicture(L"file='a.png' mask='pink'");
  EXPECT_FALSE(badMask.hasMask);
  const ui::PictureDescriptor noFile = ui::ParsePicture(L"source='0,0,1,1'");
  EXPECT_TRUE(noFile.IsEmpty());
  EXPECT_TRUE(ui::ParsePicture(L"").IsEmpty());
}

TEST(ValuesTest, AttributeListOfADefault) {
  const ui::AttributeList list = ui::ParseAttributeList(
      L" width=\"8\" bkimage=\"file='skin\\scroll.png' source='0,0,8,8'\"  showbutton1='false' ");
  ASSERT_EQ(3u, list.size());
  EXPECT_EQ(L"width", list[0].first);
  EXPECT_EQ(L"8", list[0].second);
  EXPECT_EQ(L"bkimage", list[1].first);
  EXPECT_EQ(L"file='skin\\scroll.png' source='0,0,8,8'", list[1].second);
  EXPECT_EQ(L"false", list[2].second);

  const ui::AttributeList broken = ui::ParseAttributeList(L"a=\"1\" b=\"2 c=\"3\"");
  ASSERT_EQ(2u, broken.size());  // "2 c=" is b's value; the lone quote after 3 ends the list
  EXPECT_EQ(L"2 c=", broken[1].second);
  EXPECT_TRUE(ui::ParseAttributeList(L"novalue").empty());
}

}  // namespace
