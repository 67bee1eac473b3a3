// Which language a text is in, for choosing fonts and shaping: CJK
// characters look different in Japanese, Korean and the two Chinese writings,
// and the text engine picks fonts by language. The program names the
// interface language once it knows it (SetTextLanguage with a tag such as
// "ja", "zh-tw", "ar"); a text with kana or Hangul is Japanese or Korean
// whatever the interface says. Any thread (the tag is locked).
#pragma once
#include <string>

namespace ui {

void SetTextLanguage(const std::string& tag);
std::string GetTextLanguage();
// The language to lay text out in: "ja" with kana, "ko" with Hangul, else
// the interface language, else "en".
std::string LanguageForText(const std::wstring& text);

}  // namespace ui
