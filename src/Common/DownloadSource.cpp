#include "Common/DownloadSource.h"

#include <algorithm>
#include <cwctype>

#include "CLibcurlTool.h"
#include "DeploymentValues.h"
#include "Logging.h"
#include "ProductConfig.h"
#include "platform/Encoding.h"
#include "platform/Registry.h"

namespace download_source {
namespace {

constexpr wchar_t kUninstallKey[] = L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kRefusalValue[] = L"RequestTooMuchTimes";
// One character holds the count; past 9 it would leave the digits and read
// back as 0, which would lift the CDN ban that the count stands for.
constexpr int32_t kHighestStoredCount = 9;

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::wstring HostOf(const std::wstring& address) {
  const size_t firstDot = address.find(L'.');
  if (address.empty() || firstDot == std::wstring::npos) return std::wstring();
  const size_t slashAfter = address.find(L'/', firstDot);
  const size_t slashBefore = address.rfind(L'/', firstDot);
  if (slashAfter == std::wstring::npos || slashBefore == std::wstring::npos) return std::wstring();
  std::wstring host = address.substr(slashBefore + 1, slashAfter - slashBefore - 1);
  std::transform(host.begin(), host.end(), host.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return host;
}

HostClass ClassOfHost(const std::wstring& address) {
  const std::wstring host = HostOf(address);
  if (host.size() < 2 || StartsWith(host, L"dl.") || StartsWith(host, L"cdn."))
    return kServiceOrCdnHost;
  for (const std::string& known : deployment::MainlandCdnHosts()) {
    if (host == platform::FromUtf8(known)) return kMainlandCdnHost;
  }
  if (host.find(L"ali") != std::wstring::npos) return kMainlandCdnHost;
  if (host == platform::FromUtf8(deployment::SecondMainlandCdnHost()))
    return kSecondMainlandCdnHost;
  return kDirectHost;
}

std::optional<int32_t> ReadRefusalCount(const std::wstring& softwareName) {
  std::wstring text;
  if (!platform::RegQueryString(platform::HKEY_LOCAL_MACHINE, kUninstallKey + softwareName,
                                kRefusalValue, &text)) {
    return std::nullopt;
  }
  return ProductConfig::ToInt32(text);
}

bool TooManyRefusals(const std::wstring& softwareName) {
  const std::optional<int32_t> count = ReadRefusalCount(softwareName);
  return count.has_value() && *count > 3;
}

bool AddRefusal(const std::wstring& softwareName) {
  const std::optional<int32_t> count = ReadRefusalCount(softwareName);
  int32_t next = !count.has_value() || *count < 1 ? 1 : *count + 1;
  next = std::min(next, kHighestStoredCount);
  return platform::RegSetString(platform::HKEY_LOCAL_MACHINE, kUninstallKey + softwareName,
                                kRefusalValue, std::wstring(1, static_cast<wchar_t>(L'0' + next)));
}

std::wstring ChooseAddress(const std::vector<std::wstring>& addresses,
                           const std::wstring& softwareName) {
  LOG(INFO) << " isForbidCDN: " << (TooManyRefusals(softwareName) ? 1 : 0);
  for (const std::wstring& address : addresses) {
    if (!ProductConfig::IsCdnOrServiceUrl(address)) {
      LOG(INFO) << " UrlUsed: " << platform::ToUtf8(address);
      return address;
    }
  }
  LOG(INFO) << " checkRemotePath fail: " << -1;
  return std::wstring();
}

std::wstring CheckWindows78Link(const std::wstring& address, float versionNumber,
                                const ProductConfig& productConfig) {
  if (versionNumber >= 10.0f || address.find(L"_vkwin.exe") == std::wstring::npos) return address;
  std::string headers;
  long status = 0;
  const CURLcode result = CLibcurlTool().httpGet(platform::ToUtf8(address), &headers, &status);
  LOG(INFO) << " Curl check win78 link, http code is " << status << ", curl code is "
            << static_cast<int>(result);
  if (status != 404) return address;
  for (const wchar_t* key : {L"Download_url", L"Extra_download_url"}) {
    // A missing label is no address to fall back on.
    const std::wstring replacement = productConfig.Text(key);
    if (!replacement.empty() && !ProductConfig::IsCdnOrServiceUrl(replacement)) {
      LOG(INFO) << " UrlUsed change to: " << platform::ToUtf8(replacement);
      return replacement;
    }
  }
  return address;
}

}  // namespace download_source
