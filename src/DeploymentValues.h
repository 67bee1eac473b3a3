// Deployment values: the addresses of the services this program talks to,
// kept in this one place.
//
// Built-in values are the production hosts. Tests and the demo point them at
// local servers without rebuilding, by one mechanism: the environment
// variable VORNIK_SERVICES names a file of "key=value" lines (blank lines and
// lines starting with "#" ignored). Keys are the names below ("ga4",
// "collector", ...); a value replaces the built-in scheme and host (for
// example "https://127.0.0.1:40123"). The key "ca_file" names a PEM file of
// certificate authorities that every request trusts in place of the system
// store, for servers with a local test CA.
//
// The file is read once, on first use; any thread may read the values.
#pragma once
#include <string>
#include <vector>

namespace deployment {

enum class Service {
  kGa4,               // "ga4": the GA4 collection endpoint
  kCollector,         // "collector": the analytics collector (funnel records)
  kTestCollector,     // "test_collector": its test instance
  kUpdateServer,      // "update": download configuration, international host
  kUpdateServerCn,    // "update_cn": download configuration, mainland host
  kUpdateServerTest,  // "update_test": download configuration, test host
  kAlertServer,       // "alert": exception reports
  kLogUpload,         // "log_upload": the product-log upload service
  kBanner,            // "banner": the banner service
};

// "https://host[:port]" without a trailing "/".
std::string BaseUrl(Service service);
// The key of a service in the override file.
const char* ServiceKey(Service service);
// The CA file every request trusts instead of the system store; empty for
// the system store.
std::string CaFile();
// Host names of the maker's mainland CDN providers, which the install flow
// tells apart in its reports: three of the first provider (one per brand
// domain) and one of the second. Lowercase.
const std::vector<std::string>& MainlandCdnHosts();
const std::string& SecondMainlandCdnHost();
// Forgets the values read, so that the next use reads VORNIK_SERVICES again.
// Tests only.
void ReloadForTesting();

}  // namespace deployment
