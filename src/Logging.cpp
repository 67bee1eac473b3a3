#include "Logging.h"

#include <easylogging++.cc>

INITIALIZE_EASYLOGGINGPP

namespace vornik_log {

void ConfigureFileLog(const std::string& filePath) {
  el::Configurations conf;
  conf.setToDefault();
  conf.set(el::Level::Info, el::ConfigurationType::Format, "%datetime--[Thread](%thread) %msg");
  conf.set(el::Level::Info, el::ConfigurationType::Enabled, "true");
  conf.set(el::Level::Info, el::ConfigurationType::ToStandardOutput, "true");
  conf.set(el::Level::Info, el::ConfigurationType::ToFile, "true");
  conf.set(el::Level::Info, el::ConfigurationType::Filename, filePath);
  el::Loggers::reconfigureLogger("default", conf);
  el::Loggers::addFlag(el::LoggingFlag::DisableApplicationAbortOnFatalLog);
  el::Loggers::removeFlag(el::LoggingFlag::LogDetailedCrashReason);
}

}  // namespace vornik_log
