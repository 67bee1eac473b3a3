// The product installer's command line, as the downloader passes it:
//   /VERYSILENT /SP- /NORESTART /DIR="FOLDER" /LANG=CODE /LOG="FILE" /sptrack TRACK
// Switch names compare without regard to case; unknown switches are kept for
// the log and otherwise ignored, as the real installer ignores them. A value
// may still carry the quotes around it when the caller did not split the
// command line; they are dropped.
#pragma once
#include <string>
#include <vector>

struct InstallerSwitches {
  bool verySilent = false;
  bool noRestart = false;
  bool noStartPrompt = false;  // /SP-
  bool hasDir = false;
  std::string dir;  // without a trailing "/" or "\"
  std::string language;
  bool hasLog = false;
  std::string logFile;
  std::string track;
  std::vector<std::string> unknown;
  // Set when the command line cannot be used; says why.
  std::string error;
};

InstallerSwitches ParseInstallerSwitches(const std::vector<std::string>& arguments);
