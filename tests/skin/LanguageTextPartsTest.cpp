#include <gtest/gtest.h>

#include "LanguageTextParts.h"

namespace {

using skin_test::BraceTags;
using skin_test::PrintfConversions;
using Parts = std::vector<std::wstring>;

struct PartsCase {
  const wchar_t* text;
  Parts expected;
};

// The conversions a translator can slip in without seeing them are the point:
// a percent sign before a letter is a conversion to printf.
TEST(LanguageTextPartsTest, ReadsPercentSequencesAsPrintfDoes) {
  const PartsCase cases[] = {
      {L"Space available : %.1fGB", {L"%.1f"}},
      {L"{f 0}{c #8372FF}%0.f%%{/c}{/f}", {L"%0.f", L"%%"}},
      {L"45\u00a0%% done", {L"%%"}},
      {L"50% off", {L"% o"}},
      {L"%-*.*f and %lld and %ls", {L"%-*.*f", L"%lld", L"%ls"}},
      {L"100%", {L"%"}},
      {L"no percent sign", {}},
  };
  for (const PartsCase& c : cases) {
    EXPECT_EQ(c.expected, PrintfConversions(c.text)) << c.text;
  }
}

TEST(LanguageTextPartsTest, ReadsBraceTagsAndStrayBraces) {
  const PartsCase cases[] = {
      {L"{f 1}abc{/c}{/f}", {L"{f 1}", L"{/c}", L"{/f}"}},
      {L"see the {a}licence{/a}", {L"{a}", L"{/a}"}},
      {L"one{n}two", {L"{n}"}},
      {L"a { b", {L"{"}},
      {L"a } b", {L"}"}},
      {L"{f 1 text{/f}", {L"{", L"{/f}"}},
      {L"plain", {}},
  };
  for (const PartsCase& c : cases) {
    EXPECT_EQ(c.expected, BraceTags(c.text)) << c.text;
  }
}

}  // namespace
