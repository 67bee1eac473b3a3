// Crash tests run real programs as children: the installer itself, and the
// crash program (child/CrashChildMain.cpp) that crashes through the crash
// test's entry. Each test gets a clean fake machine, a local log-upload
// service over TLS, its own temporary folder, and is the reaper of the
// hidden " -dmp " runs that a crashed child leaves behind, so a test can tell
// whether such a run was started and wait for it to end.
#pragma once
#include <gtest/gtest.h>
#include <json/json.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "LocalHttpServer.h"
#include "MultipartForm.h"
#include "TestCertificates.h"
#include "support/ChildProcess.h"
#include "support/TestEnvironment.h"

namespace crashtest {

// One upload as the log-upload service received it.
struct Upload {
  std::map<std::string, demoservices::FormPart> parts;  // by part name
  std::map<std::string, std::string> entries;           // the archive's entries: name to content
};

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the program (installer or crash program) with arguments; standard
  // output goes to a file of its own.
  std::unique_ptr<testing_support::ChildProcess> Start(const std::string& program,
                                                       const std::vector<std::string>& arguments);
  std::string Installer() const { return installer_; }
  std::string CrashProgram() const { return crashProgram_; }

  std::string LogFolder() const;
  std::string TempFolder() const { return env_.Root() + "/tmp"; }
  // File names in folder, sorted.
  static std::vector<std::string> FilesIn(const std::string& folder);
  // The one file in LogFolder() named like a run's log ("<name>_<17 digits>.log"), "" when
  // there is not exactly one.
  std::string OnlyRunLog() const;

  // The exit codes of the orphaned runs that ended within timeoutMs, once
  // `count` of them have ended (or the time is up).
  std::vector<int> WaitForOrphans(size_t count, int timeoutMs);
  // True when no orphaned run exists (running or ended and not yet reaped).
  static bool NoOrphanLeft();

  // The summary of tests/crash/minidump_check.py; null when it refused the file.
  Json::Value CheckDump(const std::string& dumpPath, std::string* refusal);

  std::vector<Upload> Uploads() const;
  localserver::LocalHttpServer& LogUploadService() { return *logUpload_; }

  testing_support::TestEnvironment env_;

 private:
  localserver::TestCertificates certificates_;
  std::unique_ptr<localserver::LocalHttpServer> logUpload_;
  std::string installer_;
  std::string crashProgram_;
  int runs_ = 0;
};

// True when text is prefix, then exactly 17 digits (a timestamp), then suffix.
bool IsStampedName(const std::string& text, const std::string& prefix, const std::string& suffix);

// The entries of a ZIP archive held in memory; false when it cannot be read.
bool ReadArchive(const std::string& bytes, std::map<std::string, std::string>* entries);

}  // namespace crashtest
