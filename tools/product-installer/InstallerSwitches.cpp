#include "InstallerSwitches.h"

#include <cctype>

namespace {

bool SameSwitch(const std::string& argument, const char* name) {
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= argument.size() || std::toupper(static_cast<unsigned char>(argument[i])) !=
                                    std::toupper(static_cast<unsigned char>(name[i]))) {
      return false;
    }
  }
  return i == argument.size();
}

std::string Unquoted(std::string value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// The folder as the downloader builds it ends in a separator, which a folder
// name does not need; "/" itself stays.
std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

void TakeDir(const std::string& value, InstallerSwitches* switches) {
  switches->hasDir = true;
  switches->dir = WithoutTrailingSeparator(Unquoted(value));
  // A quote left inside means the command line was split at the wrong
  // places (a backslash before a closing quote escapes it when a Windows
  // command line is split): the rest of the line ran into the folder.
  if (switches->dir.find('"') != std::string::npos) {
    switches->error = "the /DIR= value holds a quote: " + switches->dir;
  } else if (switches->dir.empty()) {
    switches->error = "the /DIR= value is empty";
  }
}

}  // namespace

InstallerSwitches ParseInstallerSwitches(const std::vector<std::string>& arguments) {
  InstallerSwitches switches;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const size_t equals = argument.find('=');
    const std::string value = equals == std::string::npos ? "" : argument.substr(equals + 1);
    if (SameSwitch(argument, "/VERYSILENT")) {
      switches.verySilent = true;
    } else if (SameSwitch(argument, "/SP-")) {
      switches.noStartPrompt = true;
    } else if (SameSwitch(argument, "/NORESTART")) {
      switches.noRestart = true;
    } else if (SameSwitch(argument.substr(0, 5), "/DIR=")) {
      TakeDir(value, &switches);
    } else if (SameSwitch(argument.substr(0, 6), "/LANG=")) {
      switches.language = Unquoted(value);
    } else if (SameSwitch(argument.substr(0, 5), "/LOG=")) {
      switches.hasLog = true;
      switches.logFile = Unquoted(value);
    } else if (SameSwitch(argument, "/sptrack") && i + 1 < arguments.size()) {
      switches.track = arguments[++i];
    } else {
      switches.unknown.push_back(argument);
    }
  }
  if (switches.error.empty() && !switches.hasDir) switches.error = "no /DIR= folder";
  return switches;
}
