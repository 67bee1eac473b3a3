// The twenty interface languages. The numeric value is the index every
// per-language table uses and the item index of the main window's language
// list, so the order never changes. The underlying type is fixed so that any
// int converted to it (a stored or foreign value) is a defined value that the
// lookups below answer for. Pure data; any thread.
#pragma once
#include <cstdint>

enum EnumLanguage : int {
  LangEnglish = 0,
  LangJapanese = 1,
  LangChinese = 2,
  LangSpanish = 3,
  LangGerman = 4,
  LangFrench = 5,
  LangRussian = 6,
  LangPortuguese = 7,
  LangArabic = 8,
  LangItaliano = 9,
  LangChineseTrad = 10,
  LangKorean = 11,
  LangNederlands = 12,
  LangIndonesian = 13,
  LangTurkish = 14,
  LangHindi = 15,
  LangThai = 16,
  LangMalay = 17,
  LangSwedish = 18,
  LangCzech = 19,
};

constexpr int kLanguageCount = 20;

// The language code reported with events and banner requests ("en", "zh-cn",
// ...). A value outside 0..19 gives "en".
const char* LanguageTelemetryCode(EnumLanguage language);

// The English name sent as the label of the language event ("English",
// "ChineseTrad", ...). A value outside 0..19 gives "English".
const char* LanguageEventName(EnumLanguage language);

// The code handed to the product installer ("/LANG=") and written as the
// installed product's language ("en", "zhcn", ...). A value outside 0..19
// gives "en".
const char* LanguageInstallerCode(EnumLanguage language);
// The installer code for a downloader: Japanese is "jp" for the downloaders
// 117 to 120 and 122 to 125.
const char* LanguageInstallerCodeFor(EnumLanguage language, int32_t downloaderId);
// The product configuration label that holds the product's web page for the
// language ("product_url_english", ...).
const wchar_t* LanguageProductUrlKey(EnumLanguage language);
