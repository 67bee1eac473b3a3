#include "EnumLanguage.h"

namespace {

struct LanguageRow {
  const char* telemetryCode;
  const char* eventName;
};

constexpr LanguageRow kLanguages[kLanguageCount] = {
    {"en", "English"},    {"ja", "Japanese"},   {"zh-cn", "Chinese"},     {"es", "Spanish"},
    {"de", "German"},     {"fr", "French"},     {"ru", "Russian"},        {"pt", "Portuguese"},
    {"ar", "Arabic"},     {"it", "Italiano"},   {"zh-tw", "ChineseTrad"}, {"ko", "Korean"},
    {"nl", "Nederlands"}, {"id", "Indonesian"}, {"tr", "Turkish"},        {"hi", "Hindi"},
    {"th", "Thai"},       {"my", "Malay"},      {"se", "Swedish"},        {"cz", "Czech"},
};

const LanguageRow& RowOf(EnumLanguage language) {
  const int index = static_cast<int>(language);
  return (index >= 0 && index < kLanguageCount) ? kLanguages[index] : kLanguages[LangEnglish];
}

}  // namespace

const char* LanguageTelemetryCode(EnumLanguage language) { return RowOf(language).telemetryCode; }

const char* LanguageEventName(EnumLanguage language) { return RowOf(language).eventName; }
