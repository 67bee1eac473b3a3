// Which address the install flow downloads the product installer from, and
// what kind of host an address names.
//
// An address is a whole URL taken as text: nothing is parsed beyond the
// substring rules below. Any thread; the counter functions touch the
// registry store, which serialises its own writes.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ProductConfig;

namespace download_source {

// Host classes of an address, for the flow's "Use download address Type".
enum HostClass : int32_t {
  kServiceOrCdnHost = 10,      // "dl." or "cdn." host, or none to speak of
  kDirectHost = 11,            // any other host
  kMainlandCdnHost = 12,       // the first mainland CDN provider, or "ali" in the host
  kSecondMainlandCdnHost = 13  // the second mainland CDN provider
};

// The host between the last "/" before the address's first "." and the
// first "/" after it, lowercase; empty when any of those is missing.
std::wstring HostOf(const std::wstring& address);
HostClass ClassOfHost(const std::wstring& address);

// The refusal counter "RequestTooMuchTimes" under the product's uninstall
// key. The count is stored as one character, "0" plus the count.
std::optional<int32_t> ReadRefusalCount(const std::wstring& softwareName);
// True when the count reads as more than 3: the CDN is then forbidden.
bool TooManyRefusals(const std::wstring& softwareName);
// Adds one refusal; true when written.
bool AddRefusal(const std::wstring& softwareName);

// The first address of the list without the CDN/service marker, logged as
// " UrlUsed: "; empty (logged " checkRemotePath fail: -1") when there is none.
std::wstring ChooseAddress(const std::vector<std::wstring>& addresses,
                           const std::wstring& softwareName);

// Below Windows 10 an address of the "_vkwin.exe" build that the host no
// longer has (404 to a header probe) is replaced by the product
// configuration's direct Download_url, else its direct Extra_download_url.
// versionNumber is the Windows version number (Linux: the injected one).
std::wstring CheckWindows78Link(const std::wstring& address, float versionNumber,
                                const ProductConfig& productConfig);

}  // namespace download_source
