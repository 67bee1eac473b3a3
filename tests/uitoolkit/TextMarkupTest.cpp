#include <gtest/gtest.h>

#include "uitoolkit/TextMarkup.h"

namespace {

using Kind = ui::TextRun::Kind;

TEST(TextMarkupTest, UnmatchedClosingTagIsIgnored) {
  const auto runs = ui::ParseTextMarkup(L"{f 1}abc{/c}{/f}");
  ASSERT_EQ(1u, runs.size());
  EXPECT_EQ(L"abc", runs[0].text);
  EXPECT_EQ(1, runs[0].font);
  EXPECT_FALSE(runs[0].hasColour);
}

TEST(TextMarkupTest, ProgressFormatKeepsFontsAndColours) {
  const auto runs = ui::ParseTextMarkup(
      L"{f 4}{c #000000}Installing, please wait...{/c} {/f}{f 0}{c #8372FF}42%{/c}{/f}"
      L"{f 4}{c #000000} completed.{/c}{/f}");
  ASSERT_EQ(4u, runs.size());
  EXPECT_EQ(L"Installing, please wait...", runs[0].text);
  EXPECT_EQ(4, runs[0].font);
  EXPECT_TRUE(runs[0].hasColour);
  EXPECT_EQ(0u, runs[0].colour);
  EXPECT_EQ(L" ", runs[1].text);  // still font 4, colour closed
  EXPECT_EQ(4, runs[1].font);
  EXPECT_FALSE(runs[1].hasColour);
  EXPECT_EQ(L"42%", runs[2].text);
  EXPECT_EQ(0, runs[2].font);
  EXPECT_EQ(0x8372FFu, runs[2].colour);
  EXPECT_EQ(L" completed.", runs[3].text);
}

TEST(TextMarkupTest, LinksUnderlinesAndNesting) {
  const auto runs =
      ui::ParseTextMarkup(L"Read {a}{u}the licence{/u}{/a} or {a http://x/}{f 2}page{/f}{/a}.");
  ASSERT_EQ(5u, runs.size());
  EXPECT_EQ(-1, runs[0].link);
  EXPECT_EQ(L"the licence", runs[1].text);
  EXPECT_EQ(0, runs[1].link);
  EXPECT_TRUE(runs[1].underline);
  EXPECT_EQ(L" or ", runs[2].text);
  EXPECT_FALSE(runs[2].underline);
  EXPECT_EQ(L"page", runs[3].text);
  EXPECT_EQ(1, runs[3].link);
  EXPECT_EQ(L"http://x/", runs[3].linkTarget);
  EXPECT_EQ(2, runs[3].font);
  EXPECT_EQ(-1, runs[4].link);

  // Each kind closes on its own: {/f} ends the font even inside a colour.
  const auto crossed = ui::ParseTextMarkup(L"{f 1}{c #FF0000FF}a{/f}b{/c}c");
  ASSERT_EQ(3u, crossed.size());
  EXPECT_EQ(-1, crossed[1].font);
  EXPECT_TRUE(crossed[1].hasColour);
  EXPECT_FALSE(crossed[2].hasColour);
}

TEST(TextMarkupTest, BreaksAndParagraphs) {
  const auto runs = ui::ParseTextMarkup(L"one{n}two{n}{/n}{p}three{/p}{/p}");
  ASSERT_EQ(7u, runs.size());
  EXPECT_EQ(Kind::LineBreak, runs[1].kind);
  EXPECT_EQ(Kind::LineBreak, runs[3].kind);
  EXPECT_EQ(Kind::ParagraphStart, runs[4].kind);
  EXPECT_EQ(Kind::Text, runs[5].kind);
  EXPECT_EQ(Kind::ParagraphEnd, runs[6].kind);
  EXPECT_EQ(L"one\ntwo\n\nthree\n", ui::PlainText(runs));
}

TEST(TextMarkupTest, UnknownAndBrokenTagsStayLiteral) {
  const struct {
    const wchar_t* text;
    const wchar_t* plain;
  } cases[] = {
      {L"{b}bold{/b}", L"{b}bold{/b}"},
      {L"{f x}a{/f}", L"{f x}a"},
      {L"{f}a", L"{f}a"},
      {L"{c red}a{/c}", L"{c red}a"},
      {L"{n 2}", L"{n 2}"},
      {L"50% {", L"50% {"},
      {L"a {b {f 1}c{/f}", L"a {b c"},
      {L"{}", L"{}"},
      {L"}{", L"}{"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.plain, ui::PlainText(ui::ParseTextMarkup(c.text))) << c.text;
  }
  const auto runs = ui::ParseTextMarkup(L"a {b {f 1}c{/f}");
  ASSERT_EQ(2u, runs.size());
  EXPECT_EQ(1, runs[1].font);
}

}  // namespace
