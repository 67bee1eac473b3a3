#include "platform/UiLanguage.h"

#include <cstdlib>

namespace platform {
namespace {

constexpr uint16_t kEnglishUnitedStates = 0x0409;

struct LocaleRow {
  const char* language;
  const char* territory;
  const char* modifier;  // "" for the usual script
  uint16_t languageId;
};

// The first row of a language is its default.
constexpr LocaleRow kLocaleRows[] = {
    {"ar", "SA", "", 0x0401},         {"ar", "IQ", "", 0x0801},
    {"ar", "EG", "", 0x0c01},         {"ar", "LY", "", 0x1001},
    {"ar", "DZ", "", 0x1401},         {"ar", "MA", "", 0x1801},
    {"ar", "TN", "", 0x1c01},         {"ar", "OM", "", 0x2001},
    {"ar", "YE", "", 0x2401},         {"ar", "SY", "", 0x2801},
    {"ar", "JO", "", 0x2c01},         {"ar", "LB", "", 0x3001},
    {"ar", "KW", "", 0x3401},         {"ar", "AE", "", 0x3801},
    {"ar", "BH", "", 0x3c01},         {"ar", "QA", "", 0x4001},
    {"bg", "BG", "", 0x0402},         {"ca", "ES", "", 0x0403},
    {"zh", "CN", "", 0x0804},         {"zh", "TW", "", 0x0404},
    {"zh", "HK", "", 0x0c04},         {"zh", "SG", "", 0x1004},
    {"zh", "MO", "", 0x1404},         {"cs", "CZ", "", 0x0405},
    {"da", "DK", "", 0x0406},         {"de", "DE", "", 0x0407},
    {"de", "CH", "", 0x0807},         {"de", "AT", "", 0x0c07},
    {"de", "LU", "", 0x1007},         {"de", "LI", "", 0x1407},
    {"el", "GR", "", 0x0408},         {"en", "US", "", 0x0409},
    {"en", "GB", "", 0x0809},         {"en", "AU", "", 0x0c09},
    {"en", "CA", "", 0x1009},         {"en", "NZ", "", 0x1409},
    {"en", "IE", "", 0x1809},         {"en", "ZA", "", 0x1c09},
    {"en", "JM", "", 0x2009},         {"en", "BZ", "", 0x2809},
    {"en", "TT", "", 0x2c09},         {"en", "ZW", "", 0x3009},
    {"en", "PH", "", 0x3409},         {"en", "IN", "", 0x4009},
    {"en", "SG", "", 0x4809},         {"es", "ES", "", 0x0c0a},
    {"es", "MX", "", 0x080a},         {"es", "GT", "", 0x100a},
    {"es", "CR", "", 0x140a},         {"es", "PA", "", 0x180a},
    {"es", "DO", "", 0x1c0a},         {"es", "VE", "", 0x200a},
    {"es", "CO", "", 0x240a},         {"es", "PE", "", 0x280a},
    {"es", "AR", "", 0x2c0a},         {"es", "EC", "", 0x300a},
    {"es", "CL", "", 0x340a},         {"es", "UY", "", 0x380a},
    {"es", "PY", "", 0x3c0a},         {"es", "BO", "", 0x400a},
    {"es", "SV", "", 0x440a},         {"es", "HN", "", 0x480a},
    {"es", "NI", "", 0x4c0a},         {"es", "PR", "", 0x500a},
    {"es", "US", "", 0x540a},         {"fi", "FI", "", 0x040b},
    {"fr", "FR", "", 0x040c},         {"fr", "BE", "", 0x080c},
    {"fr", "CA", "", 0x0c0c},         {"fr", "CH", "", 0x100c},
    {"fr", "LU", "", 0x140c},         {"fr", "MC", "", 0x180c},
    {"he", "IL", "", 0x040d},         {"iw", "IL", "", 0x040d},
    {"hu", "HU", "", 0x040e},         {"is", "IS", "", 0x040f},
    {"it", "IT", "", 0x0410},         {"it", "CH", "", 0x0810},
    {"ja", "JP", "", 0x0411},         {"ko", "KR", "", 0x0412},
    {"nl", "NL", "", 0x0413},         {"nl", "BE", "", 0x0813},
    {"nb", "NO", "", 0x0414},         {"no", "NO", "", 0x0414},
    {"nn", "NO", "", 0x0814},         {"pl", "PL", "", 0x0415},
    {"pt", "BR", "", 0x0416},         {"pt", "PT", "", 0x0816},
    {"ro", "RO", "", 0x0418},         {"ru", "RU", "", 0x0419},
    {"hr", "HR", "", 0x041a},         {"sk", "SK", "", 0x041b},
    {"sq", "AL", "", 0x041c},         {"sv", "SE", "", 0x041d},
    {"sv", "FI", "", 0x081d},         {"th", "TH", "", 0x041e},
    {"tr", "TR", "", 0x041f},         {"ur", "PK", "", 0x0420},
    {"ur", "IN", "", 0x0820},         {"id", "ID", "", 0x0421},
    {"in", "ID", "", 0x0421},         {"uk", "UA", "", 0x0422},
    {"be", "BY", "", 0x0423},         {"sl", "SI", "", 0x0424},
    {"et", "EE", "", 0x0425},         {"lv", "LV", "", 0x0426},
    {"lt", "LT", "", 0x0427},         {"fa", "IR", "", 0x0429},
    {"vi", "VN", "", 0x042a},         {"hy", "AM", "", 0x042b},
    {"az", "AZ", "", 0x042c},         {"az", "AZ", "cyrillic", 0x082c},
    {"eu", "ES", "", 0x042d},         {"mk", "MK", "", 0x042f},
    {"af", "ZA", "", 0x0436},         {"ka", "GE", "", 0x0437},
    {"fo", "FO", "", 0x0438},         {"hi", "IN", "", 0x0439},
    {"ms", "MY", "", 0x043e},         {"ms", "BN", "", 0x083e},
    {"kk", "KZ", "", 0x043f},         {"ky", "KG", "", 0x0440},
    {"sw", "KE", "", 0x0441},         {"uz", "UZ", "", 0x0443},
    {"uz", "UZ", "cyrillic", 0x0843}, {"tt", "RU", "", 0x0444},
    {"bn", "IN", "", 0x0445},         {"pa", "IN", "", 0x0446},
    {"gu", "IN", "", 0x0447},         {"or", "IN", "", 0x0448},
    {"ta", "IN", "", 0x0449},         {"te", "IN", "", 0x044a},
    {"kn", "IN", "", 0x044b},         {"ml", "IN", "", 0x044c},
    {"as", "IN", "", 0x044d},         {"mr", "IN", "", 0x044e},
    {"sa", "IN", "", 0x044f},         {"mn", "MN", "", 0x0450},
    {"gl", "ES", "", 0x0456},         {"kok", "IN", "", 0x0457},
    {"syr", "SY", "", 0x045a},        {"dv", "MV", "", 0x0465},
    {"sr", "RS", "", 0x0c1a},         {"sr", "RS", "latin", 0x081a},
};

struct LocaleParts {
  std::string language;   // lower case
  std::string territory;  // upper case
  std::string modifier;   // lower case
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

LocaleParts SplitLocale(const std::string& locale) {
  LocaleParts parts;
  std::size_t i = 0;
  for (; i < locale.size() && locale[i] != '_' && locale[i] != '-' && locale[i] != '.' &&
         locale[i] != '@';
       ++i)
    parts.language.push_back(Lower(locale[i]));
  if (i < locale.size() && (locale[i] == '_' || locale[i] == '-'))
    for (++i; i < locale.size() && locale[i] != '.' && locale[i] != '@'; ++i)
      parts.territory.push_back(Upper(locale[i]));
  const std::size_t at = locale.find('@', i);
  if (at != std::string::npos)
    for (std::size_t j = at + 1; j < locale.size(); ++j) parts.modifier.push_back(Lower(locale[j]));
  return parts;
}

// The best row for a locale, null for an unknown language.
const LocaleRow* FindRow(const LocaleParts& parts) {
  const LocaleRow* pairMatch = nullptr;
  const LocaleRow* languageDefault = nullptr;
  const LocaleRow* scriptDefault = nullptr;
  for (const LocaleRow& row : kLocaleRows) {
    if (parts.language != row.language) continue;
    const bool sameScript = parts.modifier == row.modifier;
    if (parts.territory == row.territory && sameScript) return &row;
    if (parts.territory == row.territory && !pairMatch && row.modifier[0] == '\0') pairMatch = &row;
    if (!languageDefault) languageDefault = &row;
    if (!scriptDefault && sameScript) scriptDefault = &row;
  }
  if (pairMatch) return pairMatch;
  return scriptDefault ? scriptDefault : languageDefault;
}

std::string GetEnv(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string UserLocale() {
  const std::string languageList = GetEnv("LANGUAGE");
  const std::string first = languageList.substr(0, languageList.find(':'));
  if (!first.empty()) return first;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::string value = GetEnv(name);
    if (!value.empty()) return value;
  }
  return "C";
}

bool IsTerritoryCode(const std::string& territory) {
  return territory.size() == 2 && territory[0] >= 'A' && territory[0] <= 'Z' &&
         territory[1] >= 'A' && territory[1] <= 'Z';
}

}  // namespace

uint16_t LanguageIdOfLocale(const std::string& locale) {
  const LocaleRow* row = FindRow(SplitLocale(locale));
  return row ? row->languageId : kEnglishUnitedStates;
}

uint16_t GetUserDefaultUILanguage() { return LanguageIdOfLocale(UserLocale()); }

std::string GetUserRegionCode() {
  const LocaleParts parts = SplitLocale(UserLocale());
  if (IsTerritoryCode(parts.territory)) return parts.territory;
  const LocaleRow* row = FindRow(parts);
  return row ? row->territory : "US";
}

}  // namespace platform
