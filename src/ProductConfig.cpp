#include "ProductConfig.h"

#include <cwctype>
#include <limits>

#include "platform/Ini.h"
#include "platform/Paths.h"
#include "uitoolkit/Control.h"
#include "uitoolkit/MarkupBuilder.h"

namespace {

// _wtoi64 semantics: blanks, sign, digits; saturating.
int64_t ParseDecimal(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                  : uint64_t(std::numeric_limits<int64_t>::max());
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    const uint64_t digit = uint64_t(text[i] - L'0');
    if (value > (limit - digit) / 10) {
      value = limit;
      break;
    }
    value = value * 10 + digit;
  }
  if (negative) return value == 0 ? 0 : int64_t(-(value - 1)) - 1;
  return int64_t(value);
}

bool SwitchIsSet(const wchar_t* key) {
  const std::wstring path = ProductConfig::SwitchFilePath();
  if (!platform::PathExists(path)) return false;
  return platform::GetPrivateProfileInt(L"Settings", key, 0, path) == 1;
}

}  // namespace

bool ProductConfig::Has(const std::wstring& key) const {
  return root_ && ui::FindControl(root_, key) != nullptr;
}

std::wstring ProductConfig::Text(const std::wstring& key) const {
  const ui::Control* label = root_ ? ui::FindControl(root_, key) : nullptr;
  return label ? label->GetText() : std::wstring();
}

int32_t ProductConfig::Int(const std::wstring& key) const { return ToInt32(Text(key)); }

int64_t ProductConfig::Int64(const std::wstring& key) const { return ToInt64(Text(key)); }

uint32_t ProductConfig::InstallTimeoutSeconds() const {
  const auto seconds = static_cast<uint32_t>(static_cast<uint64_t>(Int64(L"InstallTimeout")));
  return seconds == 0 ? kDefaultInstallTimeoutSeconds : seconds;
}

int32_t ProductConfig::ToInt32(const std::wstring& text) {
  const int64_t value = ParseDecimal(text);
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int64_t ProductConfig::ToInt64(const std::wstring& text) { return ParseDecimal(text); }

bool ProductConfig::IsCdnOrServiceUrl(const std::wstring& url) {
  return url.find(L"//cdn.") != std::wstring::npos || url.find(L"//dl.") != std::wstring::npos;
}

bool ProductConfig::IsCdnOrServiceUrl(const std::string& url) {
  return url.find("//cdn.") != std::string::npos || url.find("//dl.") != std::string::npos;
}

std::wstring ProductConfig::SwitchFilePath() {
  return platform::GetModuleFolder() + L"mv_downloader.cfg";
}

bool ProductConfig::TestEnv() { return SwitchIsSet(L"TestEnv"); }
bool ProductConfig::AutoRun() { return SwitchIsSet(L"AutoRun"); }
bool ProductConfig::CrashTest() { return SwitchIsSet(L"CrashTest"); }
