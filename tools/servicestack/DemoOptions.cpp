#include "DemoOptions.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>

namespace demoservices {
namespace {

bool ParseWhole(const std::string& text, int64_t low, int64_t high, int64_t* value) {
  if (text.empty() || (text[0] != '-' && (text[0] < '0' || text[0] > '9'))) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

// Stores a value; false when the text does not fit the option.
using Setter = std::function<bool(const std::string&, DemoOptions*)>;

Setter Int32Setter(int32_t DemoOptions::*field) {
  return [field](const std::string& text, DemoOptions* options) {
    int64_t value = 0;
    if (!ParseWhole(text, 0, std::numeric_limits<int32_t>::max(), &value)) return false;
    options->*field = static_cast<int32_t>(value);
    return true;
  };
}

const std::map<std::string, Setter>& Setters() {
  static const std::map<std::string, Setter> setters = {
      {"--installer",
       [](const std::string& text, DemoOptions* options) {
         options->installer = text;
         return !text.empty();
       }},
      {"--md5",
       [](const std::string& text, DemoOptions* options) {
         options->md5 = text;
         return true;
       }},
      {"--software-version",
       [](const std::string& text, DemoOptions* options) {
         options->softwareVersion = text;
         return true;
       }},
      {"--install-timeout", Int32Setter(&DemoOptions::installTimeout)},
      {"--slice-num", Int32Setter(&DemoOptions::sliceNum)},
      {"--slice-size", Int32Setter(&DemoOptions::sliceSize)},
      {"--downloader-config", Int32Setter(&DemoOptions::downloaderConfig)},
      {"--additional-time", Int32Setter(&DemoOptions::additionalTime)},
      {"--rate",
       [](const std::string& text, DemoOptions* options) {
         return ParseWhole(text, 0, std::numeric_limits<int64_t>::max(), &options->bytesPerSecond);
       }},
      {"--configuration-status",
       [](const std::string& text, DemoOptions* options) {
         int64_t status = 0;
         if (!ParseWhole(text, 100, 599, &status)) return false;
         options->configurationStatus = static_cast<int>(status);
         return true;
       }},
  };
  return setters;
}

}  // namespace

std::string DemoUsage() {
  return "usage: vornik-demo-services FOLDER [options]\n"
         "  --installer PATH            the product installer to serve (default: "
         "product-installer/vornik-product-installer beside this program)\n"
         "  --md5 HEX                   digest to announce instead of the file's own\n"
         "  --software-version TEXT     Software_version of the reply (default 1.0.0.0)\n"
         "  --install-timeout SECONDS   InstallTimeout of the reply (default 600)\n"
         "  --slice-num N               Slice_num of the reply (default 0)\n"
         "  --slice-size BYTES          Slice_size of the reply (default 0)\n"
         "  --downloader-config N       Downloader_config of the reply (default 0)\n"
         "  --additional-time SECONDS   Additional_time of the reply (default 0)\n"
         "  --rate BYTES_PER_SECOND     download rate per connection (default 0: no limit)\n"
         "  --configuration-status N    answer the configuration request with N; other than\n"
         "                              200 the answer carries no configuration (default 200)\n";
}

bool ParseDemoOptions(const std::vector<std::string>& arguments, DemoOptions* options,
                      std::string* error) {
  *options = DemoOptions();
  bool haveFolder = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.rfind("--", 0) != 0) {
      if (haveFolder || argument.empty()) {
        *error = "unexpected argument \"" + argument + "\"";
        return false;
      }
      options->folder = argument;
      haveFolder = true;
      continue;
    }
    const auto setter = Setters().find(argument);
    if (setter == Setters().end()) {
      *error = "unknown option " + argument;
      return false;
    }
    if (i + 1 == arguments.size()) {
      *error = argument + " needs a value";
      return false;
    }
    const std::string& value = arguments[++i];
    if (!setter->second(value, options)) {
      *error = "bad value \"" + value + "\" for " + argument;
      return false;
    }
  }
  if (!haveFolder) {
    *error = "no FOLDER given";
    return false;
  }
  return true;
}

}  // namespace demoservices
