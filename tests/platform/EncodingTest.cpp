#include <gtest/gtest.h>

#include "platform/Encoding.h"

using platform::FromUtf8;
using platform::ToUtf8;

TEST(EncodingTest, AsciiAndEmpty) {
  EXPECT_EQ(ToUtf8(L""), "");
  EXPECT_EQ(FromUtf8(""), L"");
  EXPECT_EQ(ToUtf8(L"Vornik Lumaclear"), "Vornik Lumaclear");
  EXPECT_EQ(FromUtf8("MV_UI_Frame_277"), L"MV_UI_Frame_277");
}

TEST(EncodingTest, EveryLengthRoundTrips) {
  // 1, 2, 3 and 4 bytes, the edges of each length and an embedded NUL.
  const std::wstring text = std::wstring(L"a\u00e9\u4e2d\U0001F600") + L'\0' +
                            L"\u007f\u0080\u07ff"
                            L"\u0800\uffff\U00010000\U0010FFFF";
  const std::string utf8 = ToUtf8(text);
  EXPECT_EQ(utf8.substr(0, 10), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8(utf8), text);
}

TEST(EncodingTest, ChineseLogText) {
  EXPECT_EQ(ToUtf8(L"\u4e0b\u8f7d\u5b8c\u6210"),
            "\xE4\xB8\x8B\xE8\xBD\xBD\xE5\xAE\x8C\xE6\x88\x90");
  EXPECT_EQ(FromUtf8("\xE4\xB8\x8B\xE8\xBD\xBD"), L"\u4e0b\u8f7d");
}

TEST(EncodingTest, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b"),
            L"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\x80"), L"\uFFFD");                                // lone continuation byte
  EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");                      // overlong "/"
  EXPECT_EQ(FromUtf8("\xE0\x80\xAF"), L"\uFFFD\uFFFD\uFFFD");            // overlong, three bytes
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");            // encoded surrogate
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
  EXPECT_EQ(FromUtf8("\xE4\xB8"), L"\uFFFD");                            // truncated at the end
  EXPECT_EQ(FromUtf8("\xE4\xB8"
                     "x"),
            L"\uFFFDx");  // truncated before ASCII
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98"), L"\uFFFD");
}

TEST(EncodingTest, InvalidCodePointsBecomeReplacementCharacters) {
  std::wstring text = L"a";
  text.push_back(static_cast<wchar_t>(0xD800));    // unpaired surrogate
  text.push_back(static_cast<wchar_t>(0x110000));  // out of range
  text.push_back(static_cast<wchar_t>(-1));
  text.push_back(L'b');
  EXPECT_EQ(ToUtf8(text),
            "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
            "b");
}

TEST(EncodingTest, AllScalarValuesRoundTrip) {
  std::wstring text;
  for (wchar_t c = 1; c <= 0x10FFFF; c += (c < 0x3000 ? 1 : 37))
    if (c < 0xD800 || c > 0xDFFF) text.push_back(c);
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
}
