#include "DeploymentValues.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>

#include "Logging.h"

namespace deployment {
namespace {

struct Entry {
  Service service;
  const char* key;
  const char* builtIn;
};

constexpr Entry kEntries[] = {
    {Service::kGa4, "ga4", "https://www.google-analytics.com"},
    {Service::kCollector, "collector", "https://collect.vornik.com"},
    {Service::kTestCollector, "test_collector", "https://collect-test.vornik.com"},
    {Service::kUpdateServer, "update", "https://update.vornik.com"},
    {Service::kUpdateServerCn, "update_cn", "https://update.vornik.cn"},
    {Service::kUpdateServerTest, "update_test", "https://update-test.vornik.com"},
    {Service::kAlertServer, "alert", "https://alert.vornik.com"},
    {Service::kLogUpload, "log_upload", "https://logs.vornik.com"},
    {Service::kBanner, "banner", "https://banner.vornik.com"},
};

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

class Values {
 public:
  std::string Get(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!loaded_) Load();
    const auto found = overrides_.find(key);
    return found == overrides_.end() ? std::string() : found->second;
  }
  void Forget() {
    std::lock_guard<std::mutex> lock(mutex_);
    loaded_ = false;
    overrides_.clear();
  }

 private:
  void Load() {
    loaded_ = true;
    const char* path = std::getenv("VORNIK_SERVICES");
    if (path == nullptr || *path == '\0') return;
    std::ifstream in(path);
    if (!in) {
      LOG(INFO) << " VORNIK_SERVICES file not readable: " << path;
      return;
    }
    std::string line;
    while (std::getline(in, line)) {
      line = Trim(line);
      if (line.empty() || line[0] == '#') continue;
      const size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      std::string value = Trim(line.substr(equals + 1));
      while (!value.empty() && value.back() == '/') value.pop_back();
      overrides_[Trim(line.substr(0, equals))] = value;
    }
    LOG(INFO) << " Service addresses overridden by " << path;
  }

  std::mutex mutex_;
  bool loaded_ = false;
  std::map<std::string, std::string> overrides_;
};

Values& TheValues() {
  static Values values;
  return values;
}

}  // namespace

const char* ServiceKey(Service service) {
  for (const Entry& entry : kEntries) {
    if (entry.service == service) return entry.key;
  }
  return "";
}

std::string BaseUrl(Service service) {
  for (const Entry& entry : kEntries) {
    if (entry.service != service) continue;
    const std::string overridden = TheValues().Get(entry.key);
    return overridden.empty() ? entry.builtIn : overridden;
  }
  return std::string();
}

std::string CaFile() { return TheValues().Get("ca_file"); }

const std::vector<std::string>& MainlandCdnHosts() {
  static const std::vector<std::string> hosts = {
      "dl-vornik.cdn-mainland.cn", "dl-lumaclear.cdn-mainland.cn", "dl-vornikapps.cdn-mainland.cn"};
  return hosts;
}

const std::string& SecondMainlandCdnHost() {
  static const std::string host = "vornik.mainland-edge.cn";
  return host;
}

void ReloadForTesting() { TheValues().Forget(); }

}  // namespace deployment
