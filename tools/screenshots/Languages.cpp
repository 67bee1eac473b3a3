#include "Languages.h"

namespace screenshots {

const std::vector<Language>& Languages() {
  static const std::wstring kYaHei = L"Microsoft YaHei";
  static const std::wstring kTimes = L"Times New Roman";
  static const std::vector<Language> languages = {
      {"english", 0, L"license_english", 1370, "en", kYaHei},
      {"japanese", 1, L"license_japanese", 1320, "ja", L"Meiryo UI"},
      {"chinese", 2, L"license_chinese", 1095, "zh-cn", kYaHei},
      {"spanish", 3, L"license_spanish", 1440, "es", kTimes},
      {"german", 4, L"license_german", 1485, "de", kTimes},
      {"french", 5, L"license_french", 1410, "fr", kTimes},
      {"russian", 6, L"license_russian", 1445, "ru", kTimes},
      {"portuguese", 7, L"license_portuguese", 1295, "pt", kTimes},
      {"arabic", 8, L"license_arabic", 1195, "ar", kTimes},
      {"italiano", 9, L"license_italiano", 1345, "it", kTimes},
      {"chinesetrad", 10, L"license_chinesetrad", 1095, "zh-tw", kYaHei},
      {"korean", 11, L"license_korean", 1175, "ko", L"batang"},
      {"nederland", 12, L"license_nederlands", 1485, "nl", kYaHei},
      {"indonesian", 13, L"license_indonesian", 1370, "id", kYaHei},
      {"turkish", 14, L"license_turkish", 1370, "tr", kYaHei},
      {"hindi", 15, L"license_hindi", 1370, "hi", kYaHei},
      {"thai", 16, L"license_thai", 1175, "th", kYaHei},
      {"malay", 17, L"license_malay", 1410, "ms", kYaHei},
      {"swedish", 18, L"license_swedish", 1410, "sv", kYaHei},
      {"czech", 19, L"license_czech", 1410, "cs", kYaHei},
  };
  return languages;
}

const Language* FindLanguage(const std::string& name) {
  for (const Language& language : Languages()) {
    if (language.name == name) return &language;
  }
  return nullptr;
}

}  // namespace screenshots
