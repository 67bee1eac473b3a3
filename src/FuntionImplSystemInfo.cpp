#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "FuntionImpl.h"
#include "SingleUserLog.h"
#include "platform/BoardInfo.h"
#include "platform/DisplayMode.h"
#include "platform/Encoding.h"
#include "platform/FileVersion.h"
#include "platform/NetworkAdapters.h"
#include "platform/OsRelease.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/SystemVolume.h"
#include "platform/UiLanguage.h"
#include "platform/WindowsVersion.h"

namespace FuntionImpl {
namespace {

constexpr wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr wchar_t kCurrentVersionKey32[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion";
constexpr uint32_t kFirstWindows11Build = 22000;

struct LocaleName {
  uint16_t languageId;
  const char* name;
};

// Sorted by language id.
constexpr LocaleName kLocaleNames[] = {
    {0x0000, "Neutral_Neutral"},
    {0x0400, "Default_Default"},
    {0x0401, "Arabic_Saudi Arabia"},
    {0x0402, "Bulgarian_Bulgaria"},
    {0x0403, "Catalan_Spain"},
    {0x0404, "Chinese_Taiwan"},
    {0x0405, "Czech_Czech Republic"},
    {0x0406, "Danish_Denmark"},
    {0x0407, "German_Germany"},
    {0x0408, "Greek_Greece"},
    {0x0409, "English_United States"},
    {0x040a, "Spanish_Spain (Traditional sort)"},
    {0x040b, "Finnish_Finland"},
    {0x040c, "French_France"},
    {0x040d, "Hebrew_Israel"},
    {0x040e, "Hungarian_Hungary"},
    {0x040f, "Icelandic_Iceland"},
    {0x0410, "Italian_Italy"},
    {0x0411, "Japanese_Japan"},
    {0x0412, "Korean_Korea"},
    {0x0413, "Dutch_Netherlands"},
    {0x0414, "Norwegian_Norway (Bokm?l)"},
    {0x0415, "Polish_Poland"},
    {0x0416, "Portuguese_Brazil"},
    {0x0418, "Romanian_Romania"},
    {0x0419, "Russian_Russia"},
    {0x041a, "Croatian_Croatia"},
    {0x041b, "Slovak_Slovakia"},
    {0x041c, "Albanian_Albania"},
    {0x041d, "Swedish_Sweden"},
    {0x041e, "Thai_Thailand"},
    {0x041f, "Turkish_Turkey"},
    {0x0420, "Urdu_Pakistan"},
    {0x0421, "Indonesian_Indonesia (Bahasa)"},
    {0x0422, "Ukrainian_Ukraine"},
    {0x0423, "Belarusian_Belarus"},
    {0x0424, "Slovenian_Slovenia"},
    {0x0425, "Estonian_Estonia"},
    {0x0426, "Latvian_Latvia"},
    {0x0427, "Lithuanian_Lithuania"},
    {0x0429, "Farsi_Iran"},
    {0x042a, "Vietnamese_Viet Nam"},
    {0x042b, "Armenian_Armenia"},
    {0x042c, "Azeri_Azerbaijan (Latin)"},
    {0x042d, "Basque_Spain"},
    {0x042f, "Macedonian (FYROM)_Macedonian (FYROM)"},
    {0x0436, "Afrikaans_South Africa"},
    {0x0437, "Georgian_Georgia"},
    {0x0438, "Faeroese_Faeroe Islands"},
    {0x0439, "Hindi_India"},
    {0x043e, "Malay_Malaysia"},
    {0x043f, "Kazakh_Kazakstan"},
    {0x0440, "Kyrgyz_Kyrgyzstan"},
    {0x0441, "Swahili_Kenya"},
    {0x0443, "Uzbek_Uzbekistan (Latin)"},
    {0x0444, "Tatar_Tatarstan"},
    {0x0445, "Bengali_India"},
    {0x0446, "Punjabi_India (Gurmukhi script)"},
    {0x0447, "Gujarati_India"},
    {0x0448, "Oriya_India"},
    {0x0449, "Tamil_India"},
    {0x044a, "Telugu_India (Telugu script)"},
    {0x044b, "Kannada_India (Kannada script)"},
    {0x044c, "Malayalam_India"},
    {0x044d, "Assamese_India"},
    {0x044e, "Marathi_India"},
    {0x044f, "Sanskrit_India"},
    {0x0450, "Mongolian (Cyrillic)_Mongolia"},
    {0x0456, "Galician_Spain"},
    {0x0457, "Konkani_India"},
    {0x045a, "Syriac_Syria"},
    {0x0465, "Divehi_Maldives"},
    {0x0801, "Arabic_Iraq"},
    {0x0804, "Chinese_PRC"},
    {0x0807, "German_Switzerland"},
    {0x0809, "English_United Kingdom"},
    {0x080a, "Spanish_Mexico"},
    {0x080c, "French_Belgium"},
    {0x0810, "Italian_Switzerland"},
    {0x0813, "Dutch_Belgium"},
    {0x0814, "Norwegian_Norway (Nynorsk)"},
    {0x0816, "Portuguese_Portugal"},
    {0x081a, "Serbian_Serbia (Latin)"},
    {0x081d, "Swedish_Finland"},
    {0x0820, "Urdu_India"},
    {0x0827, "Classic Lithuanian_Lithuania"},
    {0x082c, "Azeri_Azerbaijan (Cyrillic)"},
    {0x083e, "Malay_Brunei Darussalam"},
    {0x0843, "Uzbek_Uzbekistan (Cyrillic)"},
    {0x0c01, "Arabic_Egypt"},
    {0x0c04, "Chinese_Hong Kong SAR"},
    {0x0c07, "German_Austria"},
    {0x0c09, "English_Australia"},
    {0x0c0a, "Spanish_Spain (International sort)"},
    {0x0c0c, "French_Canada"},
    {0x0c1a, "Serbian_Serbia (Cyrillic)"},
    {0x1001, "Arabic_Libya"},
    {0x1004, "Chinese_Singapore"},
    {0x1007, "German_Luxembourg"},
    {0x1009, "English_Canada"},
    {0x100a, "Spanish_Guatemala"},
    {0x100c, "French_Switzerland"},
    {0x1401, "Arabic_Algeria"},
    {0x1404, "Chinese_Macao SAR"},
    {0x1407, "German_Liechtenstein"},
    {0x1409, "English_New Zealand"},
    {0x140a, "Spanish_Costa Rica"},
    {0x140c, "French_Luxembourg"},
    {0x1801, "Arabic_Morocco"},
    {0x1809, "English_Ireland"},
    {0x180a, "Spanish_Panama"},
    {0x180c, "French_Monaco"},
    {0x1c01, "Arabic_Tunisia"},
    {0x1c09, "English_South Africa"},
    {0x1c0a, "Spanish_Dominican Republic"},
    {0x2001, "Arabic_Oman"},
    {0x2009, "English_Jamaica"},
    {0x200a, "Spanish_Venezuela"},
    {0x2401, "Arabic_Yemen"},
    {0x2409, "English_Caribbean"},
    {0x240a, "Spanish_Colombia"},
    {0x2801, "Arabic_Syria"},
    {0x2809, "English_Belize"},
    {0x280a, "Spanish_Peru"},
    {0x2c01, "Arabic_Jordan"},
    {0x2c09, "English_Trinidad"},
    {0x2c0a, "Spanish_Argentina"},
    {0x3001, "Arabic_Lebanon"},
    {0x3009, "English_Zimbabwe"},
    {0x300a, "Spanish_Ecuador"},
    {0x3401, "Arabic_Kuwait"},
    {0x3409, "English_Philippines"},
    {0x340a, "Spanish_Chile"},
    {0x3801, "Arabic_U.A.E."},
    {0x380a, "Spanish_Uruguay"},
    {0x3c01, "Arabic_Bahrain"},
    {0x3c0a, "Spanish_Paraguay"},
    {0x4001, "Arabic_Qatar"},
    {0x400a, "Spanish_Bolivia"},
    {0x440a, "Spanish_El Salvador"},
    {0x480a, "Spanish_Honduras"},
    {0x4c0a, "Spanish_Nicaragua"},
    {0x500a, "Spanish_Puerto Rico"},
};

// ---- Windows names -------------------------------------------------------

struct OsName {
  std::string name;
  float version = 0.0f;
};

// The rows of the version-information query; "Error" for a major version
// outside 4 to 6, "" for an unknown minor version of 4, 5 or 6.
OsName NameOfVersionInfo(const platform::WindowsVersionInfo& info) {
  const uint32_t major = info.major, minor = info.minor;
  const bool nt = info.platformId == platform::kPlatformWin32Nt;
  if (major < 4 || major > 6) return {"Error", 0.0f};
  if (major == 4 && minor == 0 && nt) return {"Windows NT 4.0", 0.0f};
  if (major == 4 && minor == 0 && info.platformId == platform::kPlatformWin32Windows)
    return {"Windows 95", 0.0f};
  if (major == 4 && minor == 10) return {"Windows 98", 1.0f};
  if (major == 4 && minor == 90) return {"Microsoft Windows Me", 2.0f};
  if (major == 5 && minor == 0) return {"Windows 2000", 3.0f};
  if (major == 5 && minor == 1) return {"Windows XP", 4.0f};
  if (major == 5 && minor == 2) {
    if (info.workstation && info.x64Processor) return {"Windows XP Professional x64 Edition", 5.0f};
    return {info.serverR2 ? "Windows Server 2003 R2" : "Windows Server 2003", 5.0f};
  }
  if (major == 6 && minor == 0)
    return {info.workstation ? "Windows Vista" : "Windows Server 2008", 6.0f};
  if (major == 6 && minor == 1)
    return {info.workstation ? "Windows 7" : "Windows Server 2008 R2", 7.0f};
  if (major == 6 && minor == 2)
    return {info.workstation ? "Windows 8" : "Windows Server 2012", 8.0f};
  return {"", 0.0f};
}

// The kernel version's rows: 6.3 and 10.0 only.
bool NameOfKernelVersion(OsName* result) {
  uint32_t major = 0, minor = 0;
  if (!platform::GetNtVersionNumbers(&major, &minor, nullptr)) return false;
  if (major == 6 && minor == 3) *result = {"Windows 8.1", 8.1f};
  if (major == 10 && minor == 0) *result = {"Windows 10", 10.0f};
  return (major == 6 && minor == 3) || (major == 10 && minor == 0);
}

bool NameOfVersionInfoQuery(OsName* result) {
  platform::WindowsVersionInfo info;
  if (!platform::GetWindowsVersionInfo(&info)) return false;
  *result = NameOfVersionInfo(info);
  return true;
}

// "12", "22.04", "3.19.1" -> 12, 22.04, 3.19; 0 without a leading number.
// Absurdly long numbers stop at 1e9, well inside a float's range.
float LeadingVersionNumber(const std::string& text) {
  double value = 0.0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + (text[i] - '0');
  if (i == 0) return 0.0f;
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10)
      value += (text[i] - '0') * scale;
  }
  return static_cast<float>(std::min(value, 1e9));
}

// The distribution's name when no Windows version is known: PRETTY_NAME, else
// NAME and VERSION_ID ("Linux" when NAME is missing, as os-release defines).
bool NameOfDistribution(OsName* result) {
  platform::OsRelease release;
  if (!platform::ReadOsRelease(&release)) return false;
  if (!release.prettyName.empty()) {
    result->name = release.prettyName;
  } else {
    result->name = release.name.empty() ? std::string("Linux") : release.name;
    if (!release.versionId.empty()) result->name += " " + release.versionId;
  }
  result->version = LeadingVersionNumber(release.versionId);
  return true;
}

bool ReadRegistryText(const wchar_t* key, const wchar_t* value, std::size_t maxBytes,
                      std::string* text) {
  std::wstring wide;
  if (!platform::RegQueryString(platform::HKEY_LOCAL_MACHINE, key, value, &wide)) return false;
  std::string narrow = platform::ToUtf8(wide);
  if (narrow.size() >= maxBytes) return false;  // the caller's buffer would not hold it
  *text = narrow;
  return true;
}

// ---- Channel labels --------------------------------------------------------

enum class Variants { kNone, kBingYahoo, kBing, kOnline, kBrand };

struct ChannelRow {
  int32_t siteId;
  const char* label;
  Variants variants;
  const char* marker;       // kBrand: the brand marker searched in the URL
  const char* alternative;  // kBrand: the label it gives
};

constexpr ChannelRow kChannelRows[] = {
    {2, "Vornik-Ads", Variants::kBingYahoo, nullptr, nullptr},
    {3, "Vornik-Organic", Variants::kNone, nullptr, nullptr},
    {8, "Lumaclear-Ads", Variants::kBingYahoo, nullptr, nullptr},
    {11, "Vornik-Blog", Variants::kNone, nullptr, nullptr},
    {17, "Vornik-Newsletter", Variants::kNone, nullptr, nullptr},
    {25, "Vornik-Forum", Variants::kNone, nullptr, nullptr},
    {33, "Vornik-Video", Variants::kNone, nullptr, nullptr},
    {40, "Vornik-Social", Variants::kNone, nullptr, nullptr},
    {47, "Lumaclear-Organic", Variants::kNone, nullptr, nullptr},
    {54, "Vornik-CN", Variants::kNone, nullptr, nullptr},
    {61, "Vornik-Direct", Variants::kNone, nullptr, nullptr},
    {66, "Lumaclear-Direct", Variants::kNone, nullptr, nullptr},
    {74, "Vornik-Search", Variants::kBingYahoo, nullptr, nullptr},
    {84, "Lumaclear-Search", Variants::kBing, nullptr, nullptr},
    {93, "Vornik-CN-Search", Variants::kNone, nullptr, nullptr},
    {101, "Vornik-Portal", Variants::kNone, nullptr, nullptr},
    {118, "Vornik-JP", Variants::kNone, nullptr, nullptr},
    {127, "Vornik-TW", Variants::kNone, nullptr, nullptr},
    {133, "Vornik-HK", Variants::kNone, nullptr, nullptr},
    {150, "Vornik-Review", Variants::kNone, nullptr, nullptr},
    {177, "Vornik-Upgrade", Variants::kNone, nullptr, nullptr},
    {206, "Vornik-Store", Variants::kOnline, nullptr, nullptr},
    {212, "Vornik-Bundle", Variants::kNone, nullptr, nullptr},
    {240, "Vornik-Referral", Variants::kNone, nullptr, nullptr},
    {290, "Lumaclear-CN", Variants::kNone, nullptr, nullptr},
    {293, "Vornik-Partner", Variants::kBrand, "_lumaclear.", "Lumaclear-Partner"},
    {305, "Vornik-Affiliate", Variants::kBrand, "_vornikone.", "VornikOne-Affiliate"},
    {338, "Vornik-Display", Variants::kNone, nullptr, nullptr},
    {354, "Vornik-CN-Partner", Variants::kNone, nullptr, nullptr},
};

std::string LowerBytes(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return text;
}

bool Contains(const std::string& text, const char* marker) {
  return text.find(marker) != std::string::npos;
}

std::string LabelOfRow(const ChannelRow& row, const std::string& url) {
  const std::string label = row.label;
  const bool bing = Contains(url, "_bing_") || Contains(url, "_bing.");
  const bool yahoo = Contains(url, "_yahoo_") || Contains(url, "_yahoo.");
  switch (row.variants) {
    case Variants::kBingYahoo:
      if (bing) return label + "-Bing";
      return yahoo ? label + "-Yahoo" : label;
    case Variants::kBing:
      return bing ? label + "-Bing" : label;
    case Variants::kOnline:
      return Contains(url, "_online") || Contains(url, "_online.") ? label + "-Online" : label;
    case Variants::kBrand:
      return Contains(url, row.marker) ? std::string(row.alternative) : label;
    case Variants::kNone:
      break;
  }
  return label;
}

std::string FormatMac(const std::vector<uint8_t>& bytes) {
  std::string text;
  char part[4];
  for (uint8_t byte : bytes) {
    std::snprintf(part, sizeof part, "%02X", byte);
    if (!text.empty()) text += ":";
    text += part;
  }
  return text;
}

}  // namespace

// ---- Windows names and versions ------------------------------------------------

bool IsWindows11() {
  const wchar_t* key = nullptr;
  for (const wchar_t* candidate : {kCurrentVersionKey32, kCurrentVersionKey}) {
    if (platform::RegKeyExists(platform::HKEY_LOCAL_MACHINE, candidate)) {
      key = candidate;
      break;
    }
  }
  std::string build;
  if (key == nullptr || (!ReadRegistryText(key, L"CurrentBuild", 260, &build) &&
                         !ReadRegistryText(key, L"CurrentBuildNumber", 260, &build)))
    return false;
  return LeadingVersionNumber(build) >= kFirstWindows11Build;
}

std::string GetOSName(float* versionNumber) {
  OsName result;
  if (IsWindows11())
    result = {"Windows 11", 11.0f};
  else if (!NameOfKernelVersion(&result) && !NameOfVersionInfoQuery(&result))
    NameOfDistribution(&result);
  if (versionNumber != nullptr) *versionNumber = result.version;
  return result.name;
}

bool IsWow64() {
  bool runsOn64BitSystem = false;
  return platform::IsWow64Process(&runsOn64BitSystem) && runsOn64BitSystem;
}

std::string GetSdkOsName() {
  OsName result;
  platform::WindowsVersionInfo info;
  uint32_t major = 0, minor = 0;
  if (!platform::GetWindowsVersionInfo(&info)) {
    NameOfDistribution(&result);
  } else {
    result = NameOfVersionInfo(info);
    platform::GetNtVersionNumbers(&major, &minor, nullptr);
    if (major == 10 && minor == 0)
      result.name = info.build < kFirstWindows11Build ? "Windows 10" : "Windows 11";
    if (major == 6 && minor == 3) result.name = "Windows 8.1";
  }
  bool runsOn64BitSystem = false;
  const bool is64 = platform::IsWow64Process(&runsOn64BitSystem) && runsOn64BitSystem;
  return result.name + (is64 ? "-64" : "-32");
}

std::string GetSdkOsVersion() {
  if (platform::RegKeyExists(platform::HKEY_LOCAL_MACHINE, kCurrentVersionKey)) {
    std::string build, displayVersion;
    ReadRegistryText(kCurrentVersionKey, L"CurrentBuildNumber", 128, &build);
    ReadRegistryText(kCurrentVersionKey, L"DisplayVersion", 128, &displayVersion);
    return displayVersion + "(" + build + ")";
  }
  platform::OsRelease release;
  platform::ReadOsRelease(&release);
  const std::string kernel = platform::GetKernelRelease();
  if (release.versionId.empty() && kernel.empty()) return std::string();
  return release.versionId + "(" + kernel + ")";
}

// ---- Language ------------------------------------------------------------------

std::string LocaleNameOfLanguageId(uint16_t languageId) {
  const auto found =
      std::lower_bound(std::begin(kLocaleNames), std::end(kLocaleNames), languageId,
                       [](const LocaleName& row, uint16_t id) { return row.languageId < id; });
  if (found != std::end(kLocaleNames) && found->languageId == languageId) return found->name;
  char text[32];
  std::snprintf(text, sizeof text, "0x%.4x_0x%.4x", languageId, languageId);
  return text;
}

std::string GetLocaleName() { return LocaleNameOfLanguageId(platform::GetUserDefaultUILanguage()); }

// ---- The program's own file ---------------------------------------------------

std::string GetFileVersion(const std::wstring& filePath) {
  platform::FileVersionNumbers version;
  if (!platform::GetFileVersionNumbers(filePath, &version)) return std::string();
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", version.major, version.minor, version.patch,
                version.tweak);
  return text;
}

std::wstring GetFileVersionW(const std::wstring& filePath) {
  return platform::FromUtf8(GetFileVersion(filePath));
}

FileProductInfo GetFileProductInfo(const std::wstring& filePath) {
  FileProductInfo info;
  platform::FileVersionStrings strings;
  if (!platform::GetFileVersionStrings(filePath, &strings)) return info;
  info.productName = strings.productName;
  info.productVersion = strings.productVersion;
  info.legalCopyright = strings.legalCopyright;
  info.fileDescription = strings.fileDescription;
  return info;
}

// ---- Marketing classifications ---------------------------------------------------

std::string TrafficTypeOfSite(int32_t siteId) {
  static const int32_t kChina[] = {54, 93, 290, 354};
  static const int32_t kPaid[] = {2, 8, 74, 84, 206, 293, 305, 338};
  if (std::find(std::begin(kChina), std::end(kChina), siteId) != std::end(kChina)) return "CN";
  if (std::find(std::begin(kPaid), std::end(kPaid), siteId) != std::end(kPaid)) return "PPC";
  return "SEO";
}

std::string GetTrafficType() {
  return TrafficTypeOfSite(CSingleUserLog::GetInstance()->GetSiteId());
}

std::string ChannelLabelOfSite(int32_t siteId, const std::string& startupUrl) {
  for (const ChannelRow& row : kChannelRows)
    if (row.siteId == siteId) return LabelOfRow(row, LowerBytes(startupUrl));
  return std::to_string(siteId);
}

std::string GetChannelLabel(const std::string& startupUrl) {
  return ChannelLabelOfSite(CSingleUserLog::GetInstance()->GetSiteId(), startupUrl);
}

// ---- Text conversions --------------------------------------------------------------

std::string UnicodeToUtf8(const std::wstring& text) { return platform::ToUtf8(text); }

std::wstring Utf8ToUnicode(const std::string& text) { return platform::FromUtf8(text); }

std::string AnsiToUtf8(const std::string& text) {
  // The ANSI code page is UTF-8 here: the round trip only mends invalid bytes.
  return platform::ToUtf8(platform::FromUtf8(text));
}

// ---- Machine identifiers -------------------------------------------------------------

std::string GetMacAddress() {
  const std::vector<platform::NetworkAdapter> adapters = platform::GetNetworkAdapters();
  if (!adapters.empty() && !adapters.front().address.empty())
    return FormatMac(adapters.front().address);
  // The adapter-address listing of Windows adds no adapter that the list above
  // lacks, so its step ends here as well.
  for (const platform::NetworkAdapter& adapter : adapters) {
    if (!adapter.ethernet || adapter.address.empty()) continue;
    std::vector<uint8_t> six = adapter.address;
    six.resize(6, 0);
    return FormatMac(six);
  }
  return std::string();
}

std::string GetVolumeGuid() {
  std::string uuid;
  return platform::GetSystemVolumeUuid(&uuid) ? uuid : std::string();
}

std::string GetVolumeSerial() {
  uint32_t serial = 0;
  if (!platform::GetSystemVolumeSerial(&serial)) return std::string();
  char text[16];
  std::snprintf(text, sizeof text, "%X", serial);
  return text;
}

std::string GetBoardMaker() { return platform::GetBoardVendor(); }

std::string GetBoardProduct() { return platform::GetBoardName(); }

double GetDisplayMode(int32_t* width, int32_t* height) {
  platform::DisplayMode mode;
  const bool present = platform::GetDisplayMode(&mode);
  if (width != nullptr) *width = present ? mode.width : 0;
  if (height != nullptr) *height = present ? mode.height : 0;
  return present ? mode.scale : 0.0;
}

}  // namespace FuntionImpl
