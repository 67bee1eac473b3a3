#include "EnumLanguage.h"

namespace {

struct LanguageRow {
  const char* telemetryCode;
  const char* eventName;
  const char* installerCode;
  const wchar_t* productUrlKey;
};

constexpr LanguageRow kLanguages[kLanguageCount] = {
    {"en", "English", "en", L"product_url_english"},
    {"ja", "Japanese", "ja", L"product_url_japanese"},
    {"zh-cn", "Chinese", "zhcn", L"product_url_chinesesimp"},
    {"es", "Spanish", "es", L"product_url_spanish"},
    {"de", "German", "de", L"product_url_german"},
    {"fr", "French", "fr", L"product_url_french"},
    {"ru", "Russian", "ru", L"product_url_russian"},
    {"pt", "Portuguese", "pt", L"product_url_portuguese"},
    {"ar", "Arabic", "ar", L"product_url_arabic"},
    {"it", "Italiano", "it", L"product_url_italiano"},
    {"zh-tw", "ChineseTrad", "zhtw", L"product_url_chinesetrad"},
    {"ko", "Korean", "ko", L"product_url_korean"},
    {"nl", "Nederlands", "nl", L"product_url_nederlands"},
    {"id", "Indonesian", "id", L"product_url_indonesian"},
    {"tr", "Turkish", "tr", L"product_url_turkish"},
    {"hi", "Hindi", "hi", L"product_url_hindi"},
    {"th", "Thai", "th", L"product_url_thai"},
    {"my", "Malay", "my", L"product_url_malay"},
    {"se", "Swedish", "se", L"product_url_swedish"},
    {"cz", "Czech", "cz", L"product_url_czech"},
};

const LanguageRow& RowOf(EnumLanguage language) {
  const int index = static_cast<int>(language);
  return (index >= 0 && index < kLanguageCount) ? kLanguages[index] : kLanguages[LangEnglish];
}

}  // namespace

const char* LanguageTelemetryCode(EnumLanguage language) { return RowOf(language).telemetryCode; }

const char* LanguageEventName(EnumLanguage language) { return RowOf(language).eventName; }

const char* LanguageInstallerCode(EnumLanguage language) { return RowOf(language).installerCode; }

const char* LanguageInstallerCodeFor(EnumLanguage language, int32_t downloaderId) {
  static const int32_t kJpDownloaders[] = {117, 118, 119, 120, 122, 123, 124, 125};
  if (language == LangJapanese) {
    for (int32_t id : kJpDownloaders)
      if (id == downloaderId) return "jp";
  }
  return LanguageInstallerCode(language);
}

const wchar_t* LanguageProductUrlKey(EnumLanguage language) {
  return RowOf(language).productUrlKey;
}
