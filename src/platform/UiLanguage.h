// The user's interface language and region, the stand-ins for
// GetUserDefaultUILanguage and GetUserGeoID/GetGeoInfo. Any thread; the
// environment is read at every call.
//
// The locale is the first non-empty of: the first entry of LANGUAGE (a
// ":"-separated list), LC_ALL, LC_MESSAGES, LANG. "C", "POSIX" (with any
// codeset) and no locale at all count as English (United States).
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// The Windows language id (LANGID) of the user's locale.
uint16_t GetUserDefaultUILanguage();
// The ISO 3166 two-letter code of the user's region ("US"): the locale's
// territory, else the territory of the language's default.
std::string GetUserRegionCode();

// The LANGID of one locale text "ll[_TT][.codeset][@modifier]" ("-" may
// stand for "_"): language and territory (and modifier, for "@latin" and
// "@cyrillic" scripts) when the pair is known, else the language's default
// (de_BE gives German (Germany) 0x0407), else English (United States) 0x0409.
uint16_t LanguageIdOfLocale(const std::string& locale);

}  // namespace platform
