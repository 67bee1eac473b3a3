// The twenty language files of the skin package and their licences, in
// EnumLanguage order: the file the program loads for a language (inside the
// package's "language" folder), the layout under the file's root that holds
// the "install_page" and "message_page" sections, and the rich edit of
// License.xml that carries the licence. Pure data.
#pragma once
#include <array>

#include "EnumLanguage.h"

namespace skin_test {

struct LanguageFiles {
  EnumLanguage language;
  const char* name;  // names the test case
  const wchar_t* file;
  const wchar_t* layout;
  const wchar_t* licence;
};

inline constexpr std::array<LanguageFiles, kLanguageCount> kLanguageFiles = {{
    {LangEnglish, "English", L"language_english.xml", L"english", L"license_english"},
    {LangJapanese, "Japanese", L"language_japanese.xml", L"japanese", L"license_japanese"},
    {LangChinese, "Chinese", L"language_chinese.xml", L"chinese", L"license_chinese"},
    {LangSpanish, "Spanish", L"language_spanish.xml", L"spanish", L"license_spanish"},
    {LangGerman, "German", L"language_german.xml", L"german", L"license_german"},
    {LangFrench, "French", L"language_french.xml", L"french", L"license_french"},
    {LangRussian, "Russian", L"language_russian.xml", L"russian", L"license_russian"},
    {LangPortuguese, "Portuguese", L"language_portuguese.xml", L"portuguese",
     L"license_portuguese"},
    {LangArabic, "Arabic", L"language_arabic.xml", L"arabic", L"license_arabic"},
    {LangItaliano, "Italiano", L"language_italiano.xml", L"italiano", L"license_italiano"},
    {LangChineseTrad, "ChineseTrad", L"language_chinesetrad.xml", L"chinesetrad",
     L"license_chinesetrad"},
    {LangKorean, "Korean", L"language_korean.xml", L"korean", L"license_korean"},
    // The file name is the shipped one; the layout and the licence are named by the language.
    {LangNederlands, "Nederlands", L"language_nederland.xml", L"nederlands", L"license_nederlands"},
    {LangIndonesian, "Indonesian", L"language_indonesian.xml", L"indonesian",
     L"license_indonesian"},
    {LangTurkish, "Turkish", L"language_turkish.xml", L"turkish", L"license_turkish"},
    {LangHindi, "Hindi", L"language_hindi.xml", L"hindi", L"license_hindi"},
    {LangThai, "Thai", L"language_thai.xml", L"thai", L"license_thai"},
    {LangMalay, "Malay", L"language_malay.xml", L"malay", L"license_malay"},
    {LangSwedish, "Swedish", L"language_swedish.xml", L"swedish", L"license_swedish"},
    {LangCzech, "Czech", L"language_czech.xml", L"czech", L"license_czech"},
}};

constexpr bool RowsFollowTheEnumeration() {
  for (int i = 0; i < kLanguageCount; ++i) {
    if (kLanguageFiles[i].language != i) return false;
  }
  return true;
}
static_assert(RowsFollowTheEnumeration(), "row i must describe EnumLanguage value i");

}  // namespace skin_test
