// The command line of vornik-demo-services: the folder it works in, the
// installer it serves and the reply fields that tests change. Pure functions,
// any thread.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace demoservices {

struct DemoOptions {
  std::string folder;     // certificates, services.conf, uploads/, exceptions/
  std::string installer;  // the product installer served; "" until resolved by the caller
  // Served as the digest instead of the file's own, e.g. to provoke a failed check.
  std::optional<std::string> md5;
  std::string softwareVersion = "1.0.0.0";
  int32_t installTimeout = 600;
  int32_t sliceNum = 0;
  int32_t sliceSize = 0;
  int32_t downloaderConfig = 0;
  int32_t additionalTime = 0;
  int64_t bytesPerSecond = 0;     // download rate per connection; 0: no limit
  int configurationStatus = 200;  // anything else answers without a configuration
};

// The usage text, one option a line.
std::string DemoUsage();

// Reads the arguments after the program name. False, with *error naming the
// offending argument, for a missing folder, an unknown option, an option
// without its value, a number that is not a whole decimal number in range
// (counts and sizes from 0 up, the rate from 0 up, the status 100 to 599),
// or a second folder. *options is only complete on success.
bool ParseDemoOptions(const std::vector<std::string>& arguments, DemoOptions* options,
                      std::string* error);

}  // namespace demoservices
